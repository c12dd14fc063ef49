#include "dpipes.h"

#include "winprocess.h"

#include <algorithm>
#include <vector>

namespace {

// Shared by every pipe: the ends are not inheritable; a start makes the child's ends so.
const SECURITY_ATTRIBUTES PipeAttributes{12, nullptr, 0};

constexpr std::int64_t SmallSkip = 255;
constexpr std::int64_t SkipChunk = 32768;

} // namespace

bool MakePipe(HANDLE& ReadHandle, HANDLE& WriteHandle, DWORD BufferSize) {
    return CreatePipe(&ReadHandle, &WriteHandle, &PipeAttributes, BufferSize) != 0;
}

TInputPipeStream::~TInputPipeStream() {
    CloseHandle(FHandle);
}

DWORD TInputPipeStream::BytesWaiting() {
    DWORD available = 0;
    if (!PeekNamedPipe(FHandle, nullptr, 0, nullptr, &available, nullptr))
        return 0;
    return available;
}

std::int32_t TInputPipeStream::Read(void* buffer, std::int32_t count) {
    const std::int32_t done = THandleStream::Read(buffer, count);
    FPosition += done;
    return done;
}

std::int32_t TInputPipeStream::Write(const void*, std::int32_t) {
    throw EStreamError(QStringLiteral("Cannot write to this stream, not implemented"));
}

std::int64_t TInputPipeStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t distance = origin == soBeginning ? offset - FPosition : offset;
    if (distance < 0 || origin == soEnd)
        throw EPipeSeek(QStringLiteral("Cannot seek on pipes"));
    if (distance > 0)
        Skip(distance);
    return FPosition;
}

void TInputPipeStream::Skip(std::int64_t count) {
    if (count <= SmallSkip) {
        char buffer[SmallSkip];
        ReadBuffer(buffer, static_cast<std::int32_t>(count));
        return;
    }
    // One buffer for the whole skip; every chunk goes through Read, so every byte is counted.
    const std::int64_t chunk = std::min(count, SkipChunk);
    std::vector<char> buffer(static_cast<std::size_t>(chunk));
    while (chunk <= count) {
        ReadBuffer(buffer.data(), static_cast<std::int32_t>(chunk));
        count -= chunk;
    }
    if (count > 0)
        ReadBuffer(buffer.data(), static_cast<std::int32_t>(count));
}

TOutputPipeStream::~TOutputPipeStream() {
    CloseHandle(FHandle);
}

std::int32_t TOutputPipeStream::Read(void*, std::int32_t) {
    throw EStreamError(QStringLiteral("Cannot read from this stream, not implemented"));
}

std::int64_t TOutputPipeStream::Seek(std::int64_t, TSeekOrigin) {
    throw EStreamError(QStringLiteral("Invalid seek in TProcess"));
}

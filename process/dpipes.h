// Anonymous pipes and the streams over the parent's end of a child's pipe.
//
// TInputPipeStream reads a child's standard output or error: it tells how many bytes wait
// without blocking, counts every byte it consumes (its position), and seeks forward only, by
// reading and discarding. TOutputPipeStream writes a child's standard input. Each stream owns
// its handle and closes it when freed.
#pragma once

#include "Classes.h"
#include "HandleStream.h"
#include "winbase.h"

#include <cstdint>

class EPipeError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Raised by a backward seek or a seek from the end of a TInputPipeStream.
class EPipeSeek : public EPipeError {
public:
    using EPipeError::EPipeError;
};

// Creates a pipe whose ends are both not inheritable. The buffer size is passed to the system
// as a suggestion. False when the system refuses; the handles are then undefined.
bool MakePipe(HANDLE& ReadHandle, HANDLE& WriteHandle, DWORD BufferSize);

class TInputPipeStream : public THandleStream {
public:
    explicit TInputPipeStream(HANDLE AHandle) : THandleStream(AHandle) {}
    ~TInputPipeStream() override; // closes the handle

    // Bytes waiting in the pipe; never blocks, consumes nothing; 0 when the system cannot tell.
    DWORD BytesWaiting();

    // One blocking read of up to count bytes (0 at the end of the data or on failure); the
    // position grows by what was read.
    std::int32_t Read(void* buffer, std::int32_t count) override;
    // Always raises EStreamError "Cannot write to this stream, not implemented".
    std::int32_t Write(const void* buffer, std::int32_t count) override;

    using THandleStream::Seek;
    // Forward only: a target behind the position, or any seek from the end, raises EPipeSeek
    // "Cannot seek on pipes" and reads nothing. A forward seek reads and discards the distance
    // (in chunks of at most 32 KiB); a chunk that comes back short raises EReadError
    // "Stream read error", after its bytes were counted. Answers the position.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

private:
    void Skip(std::int64_t count);

    std::int64_t FPosition = 0; // bytes consumed through this stream; only ever grows
};

class TOutputPipeStream : public THandleStream {
public:
    explicit TOutputPipeStream(HANDLE AHandle) : THandleStream(AHandle) {}
    ~TOutputPipeStream() override; // closes the handle

    // Write (inherited): one write; 0 when it fails, for example when the child has closed
    // its end.

    // Always raises EStreamError "Cannot read from this stream, not implemented".
    std::int32_t Read(void* buffer, std::int32_t count) override;
    // Every seek (and so the position and size queries and SetSize) raises EStreamError
    // "Invalid seek in TProcess".
    using THandleStream::Seek;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
};

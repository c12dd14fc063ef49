// The run-time library's stream over a system handle (a file or a pipe end), the base of the
// pipe streams.
#pragma once

#include "Classes.h"
#include "winbase.h"

#include <cstdint>

// It does not own the handle: whoever made the handle closes it (the pipe streams do). Read and
// Write are one system call each and answer 0, never a negative count, when it fails. Seek moves
// the handle's file position and answers -1 when that fails.
class THandleStream : public TStream {
public:
    explicit THandleStream(HANDLE handle) : FHandle(handle) {}
    THandleStream(const THandleStream&) = delete;
    THandleStream& operator=(const THandleStream&) = delete;

    HANDLE Handle() const { return FHandle; }

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    using TStream::Seek;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    // Seeks to the new size from the beginning, then sets the end of the file there; raises
    // EOSError with the system's code when that fails.
    using TStream::SetSize;
    void SetSize(std::int64_t newSize) override;

protected:
    HANDLE FHandle;
};

#include "HandleStream.h"

#include "winprocess.h"

#include <cerrno>

#include <unistd.h>

std::int32_t THandleStream::Read(void* buffer, std::int32_t count) {
    DWORD done = 0;
    if (count <= 0 || !ReadFile(FHandle, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<std::int32_t>(done);
}

std::int32_t THandleStream::Write(const void* buffer, std::int32_t count) {
    DWORD done = 0;
    if (count <= 0 || !WriteFile(FHandle, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<std::int32_t>(done);
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    return lseek(static_cast<int>(FHandle), static_cast<off_t>(offset), whence);
}

void THandleStream::SetSize(std::int64_t newSize) {
    Seek(newSize, soBeginning);
    if (ftruncate(static_cast<int>(FHandle), static_cast<off_t>(newSize)) != 0) {
        const int error = errno;
        throw EOSError(SysErrorMessage(error), error);
    }
}

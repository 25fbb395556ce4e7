#include "multio/Stream_WIN32File.h"

namespace multio {

Stream_WIN32File::Stream_WIN32File(HANDLE handle) : fileHandle(handle) {}

int32_t Stream_WIN32File::Open(const char*, uint32_t) {
    return kStreamUnsupported; // the opener opens files
}

// The field is cleared, so a second Close cannot close a handle that reused the value.
int32_t Stream_WIN32File::Close() {
    if (fileHandle != nullptr) {
        CloseHandle(fileHandle);
        fileHandle = nullptr;
        atEnd = false;
    }
    return 0;
}

// Reads until `length` bytes arrived or the file ends. A failure after part of the request
// arrived returns what arrived instead of trying again, so a lasting error cannot keep the
// loop going.
int32_t Stream_WIN32File::Read(void* buffer, int32_t length, uint32_t flags) {
    if (flags != 0) {
        return kStreamUnsupported;
    }
    if (buffer == nullptr || length < 0) {
        return kStreamFailed;
    }
    char* out = static_cast<char*>(buffer);
    int32_t total = 0;
    while (total < length) {
        DWORD got = 0;
        if (!ReadFile(fileHandle, out + total, static_cast<DWORD>(length - total), &got, nullptr)) {
            if (total == 0) {
                return kStreamFailed;
            }
            break;
        }
        if (got == 0) {
            atEnd = true;
            break;
        }
        total += static_cast<int32_t>(got);
    }
    readCount = static_cast<int32_t>(static_cast<uint32_t>(readCount) + total);
    return total;
}

int32_t Stream_WIN32File::Write(const void* buffer, int32_t length, uint32_t flags) {
    if (flags != 0) {
        return kStreamUnsupported;
    }
    if (buffer == nullptr || length < 0) {
        return kStreamFailed;
    }
    DWORD written = 0;
    if (!WriteFile(fileHandle, buffer, static_cast<DWORD>(length), &written, nullptr)) {
        return kStreamFailed;
    }
    writeCount = static_cast<int32_t>(static_cast<uint32_t>(writeCount) + written);
    return static_cast<int32_t>(written);
}

int32_t Stream_WIN32File::Seek(int32_t offset, int32_t origin) {
    if (fileHandle == nullptr) {
        return kStreamNoHandle;
    }
    static const DWORD kMethods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (origin < kSeekStart || origin > kSeekEnd) {
        return kStreamUnsupported;
    }
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(fileHandle, distance, nullptr, kMethods[origin])) {
        return kStreamFailed;
    }
    atEnd = false;
    return 0;
}

int32_t Stream_WIN32File::Tell() {
    if (fileHandle == nullptr) {
        return kStreamNoHandle;
    }
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER position;
    // A position beyond the 32-bit result cannot be told.
    if (!SetFilePointerEx(fileHandle, zero, &position, FILE_CURRENT) ||
        position.QuadPart > INT32_MAX) {
        return kStreamFailed;
    }
    atEnd = false;
    return static_cast<int32_t>(position.QuadPart);
}

int32_t Stream_WIN32File::Available() {
    return IsEof() ? 0 : 1;
}

bool Stream_WIN32File::IsEof() {
    return fileHandle == nullptr || atEnd;
}

int32_t Stream_WIN32File::Flush() {
    if (fileHandle == nullptr) {
        return kStreamNoHandle;
    }
    return FlushFileBuffers(fileHandle) ? 0 : kStreamFlushFailed;
}

bool Stream_WIN32File::CanSeek() {
    return true;
}

int32_t Stream_WIN32File::Attach(HANDLE handle) {
    if (fileHandle != nullptr) {
        return kStreamAlreadyOpen;
    }
    fileHandle = handle;
    atEnd = false;
    return 0;
}

} // namespace multio

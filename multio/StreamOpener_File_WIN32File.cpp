#include "multio/StreamOpener_File_WIN32File.h"

#include <cstring>
#include <new>

#include "multio/Stream_WIN32File.h"

namespace multio {

namespace {

DWORD accessFor(uint32_t flags) {
    DWORD access = 0;
    if (flags & kOpenRead) {
        access |= GENERIC_READ;
    }
    if (flags & kOpenWrite) {
        access |= GENERIC_WRITE;
    }
    if (flags & kOpenExecute) {
        access |= GENERIC_EXECUTE;
    }
    return access;
}

DWORD dispositionFor(uint32_t flags) {
    if (flags & kOpenNew) {
        return CREATE_NEW;
    }
    const bool create = (flags & kOpenCreate) != 0;
    const bool truncate = (flags & kOpenTruncate) != 0;
    if (create) {
        return truncate ? CREATE_ALWAYS : OPEN_ALWAYS;
    }
    return truncate ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

} // namespace

int32_t StreamOpener_File_WIN32File::Open(const char* name, uint32_t flags, Stream** stream) {
    if (stream == nullptr) {
        return kStreamFailed;
    }
    *stream = nullptr;
    if (name == nullptr) {
        return kStreamFailed;
    }
    const size_t length = std::strlen(name);
    char* path = new (std::nothrow) char[length + 1];
    if (path == nullptr) {
        return kOpenNoMemory;
    }
    for (size_t i = 0; i <= length; ++i) {
        path[i] = name[i] == '/' ? '\\' : name[i];
    }
    const DWORD share = (flags & kOpenRead) ? FILE_SHARE_READ : 0;
    HANDLE handle = CreateFileA(path, accessFor(flags), share, nullptr, dispositionFor(flags),
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    delete[] path;
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != 0 ? -static_cast<int32_t>(error) : kStreamFailed;
    }
    Stream_WIN32File* file = new (std::nothrow) Stream_WIN32File(handle);
    if (file == nullptr) {
        CloseHandle(handle);
        return kOpenNoStream;
    }
    *stream = file;
    return 0;
}

} // namespace multio

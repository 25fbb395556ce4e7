#include "comsrc/PrefFileOpener_WIN32.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "multio/StreamOpener_File_WIN32File.h"

namespace comsrc {

namespace {

constexpr DWORD kPathBuffer = 260;

// The whole value of an environment variable, or null when it is missing, empty or keeps
// changing size. A value longer than the usual buffer is read whole rather than cut.
std::unique_ptr<char[]> readEnvironment(const char* name) {
    DWORD size = kPathBuffer;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::unique_ptr<char[]> value(new (std::nothrow) char[size]);
        if (!value) {
            return nullptr;
        }
        const DWORD length = GetEnvironmentVariableA(name, value.get(), size);
        if (length == 0) {
            return nullptr;
        }
        if (length < size) {
            return value;
        }
        size = length; // the size needed, terminator included
    }
    return nullptr;
}

} // namespace

PrefFileOpener_WIN32::~PrefFileOpener_WIN32() {
    delete[] baseDir;
}

int32_t PrefFileOpener_WIN32::Init() {
    std::unique_ptr<char[]> appData = readEnvironment("APPDATA");
    if (appData) {
        return SetBaseDir(appData.get(), 0) == 0 ? 0 : kPrefNoBaseDir;
    }
    char windowsDir[kPathBuffer];
    const UINT length = GetWindowsDirectoryA(windowsDir, kPathBuffer);
    if (length == 0 || length >= kPathBuffer) {
        return kPrefNoFolder;
    }
    if (SetBaseDir(windowsDir, static_cast<int32_t>(length)) != 0) {
        return kPrefNoBaseDir;
    }
    return EnterSubdirectory("Application Data") == 0 ? 0 : kPrefNoAppDataDir;
}

int32_t PrefFileOpener_WIN32::EnterSubdirectory(const char* name) {
    char* path = JoinPath(baseDir, name);
    if (path == nullptr) {
        return kPrefNoFolder;
    }
    const DWORD attributes = GetFileAttributesA(path);
    int32_t result = 0;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryA(path, nullptr)) {
            result = kPrefCreateFailed;
        }
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        result = kPrefNotADirectory;
    }
    if (result != 0) {
        delete[] path;
        return result;
    }
    delete[] baseDir;
    baseDir = path;
    return 0;
}

const char* PrefFileOpener_WIN32::GetBaseDir() {
    return baseDir;
}

int32_t PrefFileOpener_WIN32::SetBaseDir(const char* text, int32_t length) {
    if (text == nullptr) {
        return -1;
    }
    const size_t whole = std::strlen(text);
    const size_t count = length <= 0 ? whole : std::min(whole, static_cast<size_t>(length));
    char* copy = new (std::nothrow) char[count + 1];
    if (copy == nullptr) {
        return -1;
    }
    std::memcpy(copy, text, count);
    copy[count] = '\0';
    delete[] baseDir;
    baseDir = copy;
    return 0;
}

char* PrefFileOpener_WIN32::JoinPath(const char* directory, const char* name) {
    if (directory == nullptr || name == nullptr) {
        return nullptr;
    }
    const size_t size = std::strlen(directory) + 1 + std::strlen(name) + 1;
    char* path = new (std::nothrow) char[size];
    if (path != nullptr) {
        std::snprintf(path, size, "%s\\%s", directory, name);
    }
    return path;
}

int32_t PrefFileOpener_WIN32::Open(const char* name, uint32_t flags, multio::Stream** stream) {
    if (stream != nullptr) {
        *stream = nullptr;
    }
    char* path = JoinPath(baseDir, name);
    if (path == nullptr) {
        return kPrefNoFolder;
    }
    multio::StreamOpener_File_WIN32File files;
    const int32_t result = files.Open(path, flags, stream);
    delete[] path;
    return result;
}

} // namespace comsrc

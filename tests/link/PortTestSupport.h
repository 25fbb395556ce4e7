// Helpers for Wine tests that use the serial ports made by cmake/wine-ports.sh.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace porttest {

constexpr DWORD kPatienceMs = 20000; // generous bound for anything that should happen soon

// A file of the hook's folder, as Windows sees it (Wine maps / to Z:).
inline std::string HostPath(const std::string& name) {
    const char* tmp = getenv("MIRVISTA_TEST_TMP");
    std::string path = std::string("Z:") + (tmp ? tmp : "/tmp") + "/" + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

inline bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Asks the hook to "unplug" or "plug" pair n and waits for its answer.
inline bool ChangePort(const char* verb, int n) {
    std::string request = HostPath("ctl/" + std::string(verb) + "-" + std::to_string(n));
    HANDLE f = CreateFileA(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(f);
    for (DWORD waited = 0; waited < kPatienceMs; waited += 20) {
        if (FileExists(request + ".done"))
            return true;
        Sleep(20);
    }
    return false;
}

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    uint8_t buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    CloseHandle(f);
    return bytes;
}

// The far end of a pair, opened as a COM port with a read time-out.
class PeerReader {
public:
    explicit PeerReader(const char* portPath) {
        handle = CreateFileA(portPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return;
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = MAXDWORD;
        t.ReadTotalTimeoutMultiplier = MAXDWORD;
        t.ReadTotalTimeoutConstant = 100; // return what came within 100 ms
        SetCommTimeouts(handle, &t);
    }
    ~PeerReader() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }

    // Reads until `count` bytes arrived or nothing came for the whole patience.
    std::vector<uint8_t> Read(size_t count) {
        std::vector<uint8_t> bytes;
        DWORD idle = 0;
        while (bytes.size() < count && idle < kPatienceMs) {
            uint8_t buffer[4096];
            DWORD want = static_cast<DWORD>(std::min<size_t>(sizeof buffer, count - bytes.size()));
            DWORD got = 0;
            DWORD start = GetTickCount();
            if (!ReadFile(handle, buffer, want, &got, nullptr))
                break;
            bytes.insert(bytes.end(), buffer, buffer + got);
            idle = got > 0 ? 0 : idle + (GetTickCount() - start) + 1;
        }
        return bytes;
    }

private:
    HANDLE handle = INVALID_HANDLE_VALUE;
};

inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

} // namespace porttest

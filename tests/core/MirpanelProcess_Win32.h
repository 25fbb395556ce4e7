#pragma once
// Helpers for tests that run mirpanel as a process of its own.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The test gets the Linux path of the program; Wine shows the root file system as Z:.
inline std::string programPath() {
    const char* unixPath = std::getenv("MIRPANEL_EXE");
    std::string path = unixPath != nullptr ? std::string("Z:") + unixPath : std::string();
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

// This process's environment with APPDATA replaced, as a block for CreateProcessA.
inline std::vector<char> environmentWithAppData(const std::string& appData) {
    std::vector<char> block;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
        if (_strnicmp(entry, "APPDATA=", 8) != 0) {
            block.insert(block.end(), entry, entry + std::strlen(entry) + 1);
        }
    }
    FreeEnvironmentStringsA(strings);
    const std::string own = "APPDATA=" + appData;
    block.insert(block.end(), own.c_str(), own.c_str() + own.size() + 1);
    block.push_back('\0');
    return block;
}

inline HWND findWindowOf(DWORD processId, HANDLE process) {
    for (int i = 0; i < 600; ++i) {
        HWND window = FindWindowA("MIRVISTA", nullptr);
        DWORD owner = 0;
        if (window != nullptr && GetWindowThreadProcessId(window, &owner) && owner == processId) {
            return window;
        }
        if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) {
            return nullptr; // it ended before showing its window
        }
    }
    return nullptr;
}

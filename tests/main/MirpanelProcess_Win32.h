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

// Starts mirpanel with APPDATA set to appData; returns its main window, or null when it
// could not be started or ended before showing one.
inline HWND startMirpanel(const std::string& appData, PROCESS_INFORMATION& process) {
    std::vector<char> environment = environmentWithAppData(appData);
    std::string command = "\"" + programPath() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, environment.data(),
                        nullptr, &startup, &process))
        return nullptr;
    return findWindowOf(process.dwProcessId, process.hProcess);
}

// Waits up to 20 s for mirpanel to end, terminating it after that, and closes its handles.
// Returns its exit code, or -1 when it had to be terminated.
inline long endOfMirpanel(PROCESS_INFORMATION& process) {
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else if (TerminateProcess(process.hProcess, static_cast<UINT>(-1)))
        WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(exitCode);
}

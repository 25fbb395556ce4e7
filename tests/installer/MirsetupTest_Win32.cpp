// mirsetup as a process: its output (decoded from code page 932, line ends included) and exit
// code, with the stand-in difxapi.dll beside it and Wine's SetupAPI managing a real node.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kFailed = 0xFFFFFFFF; // exit code -1

struct Outcome {
    std::wstring text;
    DWORD exitCode;
};

// A program in the build tree, named by an environment variable holding its Linux path.
std::wstring Program(const char* variable) {
    const char* path = std::getenv(variable);
    std::wstring windowsPath = L"Z:";
    for (const char* c = path ? path : ""; *c; ++c)
        windowsPath += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return windowsPath;
}

// Runs the program in C:\ with its output in a file; a relative x.inf is C:\x.inf to it.
Outcome Run(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(L"C:\\mirsetup-out.txt", GENERIC_READ | GENERIC_WRITE, 0, &inherit,
                             CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, out);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + program + L"\" " + arguments;
    Outcome outcome = {L"", 0};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, L"C:\\", &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    char bytes[8192];
    DWORD size = 0;
    SetFilePointer(out, 0, nullptr, FILE_BEGIN);
    ReadFile(out, bytes, sizeof bytes, &size, nullptr);
    CloseHandle(out);
    outcome.text.resize(size);
    outcome.text.resize(MultiByteToWideChar(932, 0, bytes, size, &outcome.text[0], size));
    return outcome;
}

// The text as the program writes it in text mode: every "\n" arrives as "\r\n".
std::wstring Lines(const std::wstring& text) {
    std::wstring crlf;
    for (wchar_t c : text)
        crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return crlf;
}

// The machine's own display devices (a GPU of Wine's X11 driver) depend on the host; only
// the lines about the driver's node are compared.
std::wstring WithoutOtherDevices(const std::wstring& text) {
    std::wstring kept;
    for (size_t start = 0, end; start < text.size(); start = end) {
        end = text.find(L'\n', start) + 1;
        std::wstring line = text.substr(start, end ? end - start : std::wstring::npos);
        if (line.rfind(L"Device enum: ", 0) != 0 || line.find(L"DURIRIVAZI") != line.npos)
            kept += line;
        if (end == 0)
            break;
    }
    return kept;
}

void StandIn(DWORD result, DWORD reboot, DWORD logError) {
    SetEnvironmentVariableW(L"MIRSTUB_RESULT", std::to_wstring(result).c_str());
    SetEnvironmentVariableW(L"MIRSTUB_REBOOT", std::to_wstring(reboot).c_str());
    SetEnvironmentVariableW(L"MIRSTUB_LOG_ERROR", std::to_wstring(logError).c_str());
}

struct Case {
    const wchar_t* arguments;
    DWORD result, reboot, logError;
    const wchar_t* expected;
    DWORD exitCode;
};

void Check(const std::wstring& program, const Case& c) {
    StandIn(c.result, c.reboot, c.logError);
    Outcome outcome = Run(program, c.arguments);
    EXPECT_EQ(Lines(c.expected), outcome.text) << c.arguments;
    EXPECT_EQ(c.exitCode, outcome.exitCode) << c.arguments;
}

} // namespace

TEST(Mirsetup, CommandLine) {
    const Case cases[] = {
        {L"", 0, 0, 0, L"not enough arguments.\n", 0},
        {L"/c", 0, 0, 0, L"not enough arguments.\n", 0},
        {L"/x x.inf", 0, 0, 0, L"ERROR: invalid command line option /x.\n", 1},
        {L"/ x.inf", 0, 0, 0, L"ERROR: invalid command line option /.\n", 1},
        {L"\"\" x.inf", 0, 0, 0, L"ERROR: invalid command line option /.\n", 1},
        {L"/i x.inf 0x4", 0, 0, 0, L"An invalid flag was specified.", 0},
        {L"/i x.inf 4 abc", 0, 0, 0, L"An invalid flag was specified.", 0},
        {L"-P x.inf", 0, 0, 0,
         L"TEST: preinstalling driver package.\nLOG Event: 1, Preinstall C:\\x.inf 0\n"
         L"INFO: preinstalled package.\n",
         1},
        {L"/i x.inf 1 2", 5, 0, 7,
         L"TEST: installing driver package. PLEASE WAIT...\n"
         L"LOG Event: 1, Error = 7, Install C:\\x.inf 3\nERROR: failed with error code 0x5\n",
         kFailed},
    };
    for (const Case& c : cases)
        Check(Program("MIRSETUP_TEST_EXE"), c);
}

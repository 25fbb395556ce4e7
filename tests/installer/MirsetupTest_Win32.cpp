// mirsetup as a process: its output (decoded from code page 932, line ends included) and exit
// code, with the stand-in difxapi.dll beside it and Wine's SetupAPI managing a real node.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwctype>
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
Outcome RunProgram(const std::wstring& program, const std::wstring& arguments) {
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
    std::wstring arguments;
    DWORD result, reboot, logError;
    std::wstring expected;
    DWORD exitCode;
};

void Check(const std::wstring& program, const Case& c) {
    StandIn(c.result, c.reboot, c.logError);
    Outcome outcome = RunProgram(program, c.arguments);
    EXPECT_EQ(Lines(c.expected), outcome.text) << c.arguments << L" " << c.result;
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

TEST(Mirsetup, PackageOutcomes) {
    const std::wstring p = L"TEST: preinstalling driver package.\n"
                           L"LOG Event: 1, Preinstall C:\\x.inf 0\n";
    const std::wstring i = L"TEST: installing driver package. PLEASE WAIT...\n"
                           L"LOG Event: 1, Install C:\\x.inf 4\n";
    const std::wstring u = L"TEST: uninstalling driver package.\n"
                           L"LOG Event: 1, Uninstall C:\\x.inf 0\n";
    const std::wstring g = L"TEST: getting driver package path.\n"
                           L"LOG Event: 1, GetPath C:\\x.inf 260\n";
    const std::wstring rebootI = L"INFO: Machine will have to be rebooted to complete install.";
    const std::wstring rebootU = L"INFO: Machine will have to be rebooted to complete uninstall.";
    const std::wstring noBetter =
        L"INFO: All devices found already have a better driver than what is contained in the "
        L"specified inf file. To force an install, use the ForceIfNotBetter flag.\n";
    const std::wstring noLive =
        L"INFO: There aren't any live devnodes with the DeviceId contained in the INF.\n";
    const Case cases[] = {
        {L"/p x.inf", 0, 1, 0, p + L"INFO: preinstalled package.\n", 1},
        {L"/p x.inf", 183, 0, 0, p + L"INFO: package was already in store.\n", 1},
        {L"/p x.inf", 5, 0, 0, p + L"ERROR: failed with error code 0x5\n", 1},
        {L"/i x.inf 4", 0, 0, 0, i + L"SUCCESS: installed package C:\\x.inf.\n", 1},
        {L"/i x.inf 4", 0, 1, 0, i + L"SUCCESS: installed package C:\\x.inf.\n" + rebootI, 1},
        {L"/i x.inf 4", 259, 0, 0, i + noBetter, 1},
        {L"/i x.inf 4", 259, 1, 0, i + noBetter + rebootI, 1},
        {L"/i x.inf 4", 0xE000020B, 0, 0, i + noLive, 1},
        {L"/i x.inf 4", 0xE000020B, 1, 0, i + noLive + rebootI, 1},
        {L"/i x.inf 4", 0xE0000203, 1, 0, i + L"ERROR: failed with error code 0xE0000203\n",
         kFailed},
        {L"/u x.inf", 0, 0, 0, u + L"SUCCESS: uninstalled driver package C:\\x.inf.\n", 1},
        {L"/u x.inf", 0, 1, 0, u + L"SUCCESS: uninstalled driver package C:\\x.inf.\n" + rebootU,
         1},
        {L"/u x.inf", 1168, 0, 0, u + L"ERROR: failed with error code 0x490\n", 1},
        {L"/u x.inf", 1168, 1, 0, u + L"ERROR: failed with error code 0x490\n" + rebootU, 1},
        {L"/g x.inf", 0, 0, 0, g + L"INFO: INF path is C:\\windows\\inf\\oem3.inf\n", 1},
        {L"/g x.inf", 2, 0, 0, g + L"ERROR: failed with error code 0x2\n", 1},
    };
    for (const Case& c : cases)
        Check(Program("MIRSETUP_TEST_EXE"), c);
}

// A full path that does not fit 260 characters (with its terminating zero) stops the run
// before anything is installed; a Japanese path prints whole in code page 932.
TEST(Mirsetup, FullPath) {
    const std::wstring longest = std::wstring(252, L'a') + L".inf"; // C:\ makes 259
    const std::wstring i = L"TEST: installing driver package. PLEASE WAIT...\n"
                           L"LOG Event: 1, Install C:\\";
    const Case cases[] = {
        {L"/i " + longest, 0, 0, 0,
         i + longest + L" 0\nSUCCESS: installed package C:\\" + longest + L".\n", 1},
        {L"/i b" + longest, 0, 0, 0, L"ERROR: failed with error code 0xCE\n", kFailed},
        {L"/i \u30c9\u30e9\u30a4\u30d0.inf", 0, 0, 0,
         i + L"\u30c9\u30e9\u30a4\u30d0.inf 0\nSUCCESS: installed package C:\\"
             L"\u30c9\u30e9\u30a4\u30d0.inf.\n",
         1},
    };
    for (const Case& c : cases)
        Check(Program("MIRSETUP_TEST_EXE"), c);
}

// Without difxapi.dll the package commands stop with one line; the device-node commands do
// not need it (see DeviceNode, which runs the shipped program without it).
TEST(Mirsetup, MissingDifxApi) {
    const std::wstring missing = L"ERROR: difxapi.dll could not be loaded (error code 126).\n";
    const Case cases[] = {
        {L"/p x.inf", 0, 0, 0, missing, kFailed},
        {L"/i x.inf", 0, 0, 0, missing, kFailed},
        {L"/u x.inf", 0, 0, 0, missing, kFailed},
        {L"/g x.inf", 0, 0, 0, missing, kFailed},
        {L"/q x.inf", 0, 0, 0, L"ERROR: invalid command line option /q.\n", 1},
    };
    for (const Case& c : cases)
        Check(Program("MIRSETUP_SHIPPED_EXE"), c);
}

// Blanks the number that follows `call` in the output, for an error whose value is whatever
// the thread last had.
static std::wstring WithoutErrorOf(std::wstring text, const std::wstring& call) {
    size_t at = text.find(call + L" *ERROR*: ");
    if (at != text.npos)
        for (at += call.size() + 10; at < text.size() && std::iswdigit(text[at]);)
            text.erase(at, 1);
    return text;
}

// Create, create again, remove, remove again, on a node in this test's own prefix. Wine's
// SetupDiSetClassInstallParamsW is a stub that fails, so the shipped program cannot remove;
// the test build's seam records the parameters and lets the removal run.
TEST(Mirsetup, DeviceNode) {
    const std::wstring shipped = Program("MIRSETUP_SHIPPED_EXE");
    const std::wstring seam = Program("MIRSETUP_SEAM_EXE");
    for (int i = 0;
         i < 4 && RunProgram(seam, L"/r x").text.find(L"device removed") != std::wstring::npos;)
        ++i; // nodes left behind by an interrupted run
    const std::wstring node = L"Device enum: ROOT\\DURIRIVAZI\\0000\n";
    const std::wstring end = L"SetupDiEnumDeviceInfo *ERROR*: 259\n";
    const std::wstring add = L"TEST: adding devnode.\n", remove = L"TEST: removing devnode.\n";
    const struct {
        std::wstring program, arguments, expected;
        DWORD exitCode;
    } steps[] = {
        {seam, L"/r x", remove + end + L"No device found.\n", 1},
        {shipped, L"/c x", add + end + L"SetupDiCreateDeviceInfo OK: ROOT\\DURIRIVAZI\\0000\n", 1},
        {shipped, L"/C y", add + node + L"*WARNING* devnode already exists.\n", 1},
        {shipped, L"/r x",
         remove + node +
             L"SetupDiSetClassInstallParams *ERROR*: \nTEST: failed to remove devnode\n",
         kFailed},
        {seam, L"-r x",
         remove + node +
             L"params: cbSize 8, function 5, scope 1, profile 0, size 16\n"
             L"device removed.\n",
         1},
        {seam, L"/r x", remove + end + L"No device found.\n", 1},
    };
    for (const auto& step : steps) {
        Outcome outcome = RunProgram(step.program, step.arguments);
        EXPECT_EQ(Lines(step.expected), WithoutErrorOf(WithoutOtherDevices(outcome.text),
                                                       L"SetupDiSetClassInstallParams"))
            << step.arguments;
        EXPECT_EQ(step.exitCode, outcome.exitCode) << step.arguments;
        if (step.expected.find(L"OK: ") != std::wstring::npos) {
            wchar_t ids[32] = {};
            DWORD size = sizeof ids;
            EXPECT_EQ(ERROR_SUCCESS,
                      RegGetValueW(HKEY_LOCAL_MACHINE,
                                   L"System\\CurrentControlSet\\Enum\\ROOT\\DURIRIVAZI\\0000",
                                   L"HardwareID", RRF_RT_REG_MULTI_SZ, nullptr, ids, &size));
            EXPECT_EQ(std::wstring(L"DURIRIVAZI\0", 12), std::wstring(ids, size / sizeof(wchar_t)));
        }
    }
}

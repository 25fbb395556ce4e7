// mirsetup as a process: its output (decoded from code page 932, line ends included) and exit
// code, beside the stand-in difxapi.dll, with Wine's SetupAPI managing a real device node.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>

namespace {

// The program beside the stand-in difxapi.dll, the shipped one with no difxapi.dll beside
// it, and the test build with the class-install parameter seam.
enum Program { kStandIn, kShipped, kSeam };
constexpr DWORD kFailed = 0xFFFFFFFF; // exit code -1

std::wstring PathOf(Program program) {
    const char* variables[] = {"MIRSETUP_TEST_EXE", "MIRSETUP_SHIPPED_EXE", "MIRSETUP_SEAM_EXE"};
    const std::string path = std::getenv(variables[program]); // Wine shows / as Z:\ .
    std::wstring windowsPath = L"Z:" + std::wstring(path.begin(), path.end());
    std::replace(windowsPath.begin(), windowsPath.end(), L'/', L'\\');
    return windowsPath;
}

struct Case {
    Program program;
    std::wstring arguments;
    DWORD result, reboot, logError; // what the stand-in returns and logs
    std::wstring expected;
    DWORD exitCode;
};

// Runs the case in C:\, so that a relative x.inf is C:\x.inf to the program.
std::wstring RunCase(const Case& c, DWORD* exitCode) {
    SetEnvironmentVariableW(L"MIRSTUB_RESULT", std::to_wstring(c.result).c_str());
    SetEnvironmentVariableW(L"MIRSTUB_REBOOT", std::to_wstring(c.reboot).c_str());
    SetEnvironmentVariableW(L"MIRSTUB_LOG_ERROR", std::to_wstring(c.logError).c_str());
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(L"C:\\mirsetup-out.txt", GENERIC_READ | GENERIC_WRITE, 0, &inherit,
                             CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + PathOf(c.program) + L"\" " + c.arguments;
    *exitCode = 12345;
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, L"C:\\", &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    char bytes[8192];
    DWORD size = 0;
    SetFilePointer(out, 0, nullptr, FILE_BEGIN);
    ReadFile(out, bytes, sizeof bytes, &size, nullptr);
    CloseHandle(out);
    std::wstring text(size, L'\0');
    text.resize(MultiByteToWideChar(932, 0, bytes, size, &text[0], size));
    return text;
}

void Check(const Case& c) {
    DWORD exitCode = 0;
    std::wstring text = RunCase(c, &exitCode);
    // Left out: the host's own display devices (Wine's X11 GPU), and the stale error that
    // Wine's stub of SetupDiSetClassInstallParamsW leaves.
    text = std::regex_replace(text, std::wregex(L"Device enum: (?!ROOT.DURIRIVAZI)[^\n]*\n"), L"");
    text = std::regex_replace(text, std::wregex(L"(Params \\*ERROR\\*: )\\d+"), L"$1");
    EXPECT_EQ(std::regex_replace(c.expected, std::wregex(L"\n"), L"\r\n"), text) << c.arguments;
    EXPECT_EQ(c.exitCode, exitCode) << c.arguments;
}

} // namespace

TEST(Mirsetup, CommandLineAndPath) {
    const std::wstring name = L"\u30c9\u30e9\u30a4\u30d0.inf", longest = std::wstring(252, L'a');
    const std::wstring i = L"TEST: installing driver package. PLEASE WAIT...\nLOG Event: 1, ";
    const std::wstring missing = L"ERROR: difxapi.dll could not be loaded (error code 126).\n";
    // Stand-ins in the working folder and on PATH, which the shipped program must pass over;
    // Wine's own stub in System32 goes, as Windows has none.
    const std::wstring folder = PathOf(kStandIn).substr(0, PathOf(kStandIn).rfind(L'\\'));
    CopyFileW((folder + L"\\difxapi.dll").c_str(), L"C:\\difxapi.dll", FALSE);
    SetEnvironmentVariableW(L"PATH", folder.c_str());
    DeleteFileW(L"C:\\windows\\system32\\difxapi.dll");
    const Case cases[] = {
        {kStandIn, L"", 0, 0, 0, L"not enough arguments.\n", 0},
        {kStandIn, L"/c", 0, 0, 0, L"not enough arguments.\n", 0},
        {kStandIn, L"/x x.inf", 0, 0, 0, L"ERROR: invalid command line option /x.\n", 1},
        {kStandIn, L"/x b" + longest + L".inf", 0, 0, 0,
         L"ERROR: invalid command line option /x.\n", 1},
        {kStandIn, L"/ x.inf", 0, 0, 0, L"ERROR: invalid command line option /.\n", 1},
        {kStandIn, L"\"\" x.inf", 0, 0, 0, L"ERROR: invalid command line option /.\n", 1},
        {kStandIn, L"/i x.inf 0x4", 0, 0, 0, L"An invalid flag was specified.", 0},
        {kStandIn, L"/i x.inf 4 abc", 0, 0, 0, L"An invalid flag was specified.", 0},
        {kStandIn, L"-P x.inf", 0, 0, 0,
         L"TEST: preinstalling driver package.\nLOG Event: 1, Preinstall C:\\x.inf 0\n"
         L"INFO: preinstalled package.\n",
         1},
        {kStandIn, L"/i x.inf 1 2", 5, 0, 7,
         i + L"Error = 7, Install C:\\x.inf 3\nERROR: failed with error code 0x5\n", kFailed},
        // C:\ and 256 characters make 259, the most that fits with the terminating zero.
        {kStandIn, L"/i " + longest + L".inf", 0, 0, 0,
         i + L"Install C:\\" + longest + L".inf 0\nSUCCESS: installed package C:\\" + longest +
             L".inf.\n",
         1},
        {kStandIn, L"/i b" + longest + L".inf", 0, 0, 0,
         L"ERROR: INF path \"b" + longest + L".inf\" failed with error code 0xCE\n", kFailed},
        {kStandIn, L"/i \"\"", 0, 0, 0, L"ERROR: INF path \"\" failed with error code 0x7B\n",
         kFailed},
        {kStandIn, L"/i " + name, 0, 0, 0,
         i + L"Install C:\\" + name + L" 0\nSUCCESS: installed package C:\\" + name + L".\n", 1},
        {kShipped, L"/p x.inf", 0, 0, 0, missing, kFailed},
        {kShipped, L"/i x.inf", 0, 0, 0, missing, kFailed},
        {kShipped, L"/u x.inf", 0, 0, 0, missing, kFailed},
        {kShipped, L"/g x.inf", 0, 0, 0, missing, kFailed},
    };
    for (const Case& c : cases)
        Check(c);
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
    const std::wstring installed = L"SUCCESS: installed package C:\\x.inf.\n";
    const std::wstring uninstalled = L"SUCCESS: uninstalled driver package C:\\x.inf.\n";
    const Case cases[] = {
        {kStandIn, L"/p x.inf", 0, 1, 0, p + L"INFO: preinstalled package.\n", 1},
        {kStandIn, L"/p x.inf", 183, 0, 0, p + L"INFO: package was already in store.\n", 1},
        {kStandIn, L"/p x.inf", 5, 0, 0, p + L"ERROR: failed with error code 0x5\n", 1},
        {kStandIn, L"/i x.inf 4", 0, 0, 0, i + installed, 1},
        {kStandIn, L"/i x.inf 4", 0, 1, 0, i + installed + rebootI, 1},
        {kStandIn, L"/i x.inf 4", 259, 0, 0, i + noBetter, 1},
        {kStandIn, L"/i x.inf 4", 259, 1, 0, i + noBetter + rebootI, 1},
        {kStandIn, L"/i x.inf 4", 0xE000020B, 0, 0, i + noLive, 1},
        {kStandIn, L"/i x.inf 4", 0xE000020B, 1, 0, i + noLive + rebootI, 1},
        {kStandIn, L"/i x.inf 4", 0xE0000203, 1, 0,
         i + L"ERROR: failed with error code 0xE0000203\n", kFailed},
        {kStandIn, L"/u x.inf", 0, 0, 0, u + uninstalled, 1},
        {kStandIn, L"/u x.inf", 0, 1, 0, u + uninstalled + rebootU, 1},
        {kStandIn, L"/u x.inf", 1168, 0, 0, u + L"ERROR: failed with error code 0x490\n", 1},
        {kStandIn, L"/u x.inf", 1168, 1, 0, u + L"ERROR: failed with error code 0x490\n" + rebootU,
         1},
        {kStandIn, L"/g x.inf", 0, 0, 0, g + L"INFO: INF path is C:\\windows\\inf\\oem3.inf\n", 1},
        {kStandIn, L"/g x.inf", 2, 0, 0, g + L"ERROR: failed with error code 0x2\n", 1},
    };
    for (const Case& c : cases)
        Check(c);
}

// Create, create again, remove, remove again, in this test's own prefix. Wine's
// SetupDiSetClassInstallParamsW is a stub that fails, so only the seam lets the removal run.
TEST(Mirsetup, DeviceNode) {
    DWORD exitCode = 0;
    for (int i = 0; i < 4; ++i) // nodes left behind by an interrupted run
        if (RunCase({kSeam, L"/r x", 0, 0, 0, L"", 0}, &exitCode).find(L"removed") ==
            std::wstring::npos)
            break;
    const std::wstring node = L"Device enum: ROOT\\DURIRIVAZI\\0000\n";
    const std::wstring end = L"SetupDiEnumDeviceInfo *ERROR*: 259\n";
    const std::wstring add = L"TEST: adding devnode.\n", remove = L"TEST: removing devnode.\n";
    Check({kSeam, L"/r x", 0, 0, 0, remove + end + L"No device found.\n", 1});
    Check({kShipped, L"/c x", 0, 0, 0,
           add + end + L"SetupDiCreateDeviceInfo OK: ROOT\\DURIRIVAZI\\0000\n", 1});
    wchar_t ids[32] = {};
    DWORD size = sizeof ids;
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE,
                           L"System\\CurrentControlSet\\Enum\\ROOT\\DURIRIVAZI\\0000",
                           L"HardwareID", RRF_RT_REG_MULTI_SZ, nullptr, ids, &size));
    EXPECT_EQ(std::wstring(L"DURIRIVAZI\0", 12), std::wstring(ids, size / sizeof(wchar_t)));
    Check({kShipped, L"/C \"\"", 0, 0, 0, add + node + L"*WARNING* devnode already exists.\n", 1});
    Check({kShipped, L"/r x", 0, 0, 0,
           remove + node +
               L"SetupDiSetClassInstallParams *ERROR*: \nTEST: failed to remove devnode\n",
           kFailed});
    const std::wstring removed = L"params: cbSize 8, function 5, scope 1, profile 0, size 16\n"
                                 L"device removed.\n";
    Check({kSeam, L"-r x", 0, 0, 0, remove + node + removed, 1});
    Check({kSeam, L"/r \"\"", 0, 0, 0, remove + end + L"No device found.\n", 1});

    // Another device's nodes, one named like ours with a suffix and one with our name but
    // another hardware ID: /c makes ours beside them, /r removes only ours.
    const std::wstring root = L"System\\CurrentControlSet\\Enum\\ROOT\\";
    const wchar_t display[] = L"{4D36E968-E325-11CE-BFC1-08002BE10318}";
    const wchar_t* foreign[][2] = {{L"DURIRIVAZI\\0000", L"OTHER"},
                                   {L"DURIRIVAZI_OTHER\\0000", L"DURIRIVAZI"}};
    for (const auto& f : foreign) {
        const std::wstring key = root + f[0], ids = f[1] + std::wstring(2, L'\0');
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ClassGUID", REG_SZ, display,
                        sizeof display);
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"HardwareID", REG_MULTI_SZ, ids.c_str(),
                        ids.size() * 2);
    }
    const std::wstring other = L"Device enum: ROOT\\DURIRIVAZI_OTHER\\0000\n" + end;
    const std::wstring ours = L"ROOT\\DURIRIVAZI\\0001\n";
    Check({kShipped, L"/c x", 0, 0, 0, add + node + other + L"SetupDiCreateDeviceInfo OK: " + ours,
           1});
    Check({kSeam, L"/r x", 0, 0, 0, remove + node + L"Device enum: " + ours + removed, 1});
    Check({kSeam, L"/r x", 0, 0, 0, remove + node + other + L"No device found.\n", 1});
    for (const auto& f : foreign)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (root + f[0]).c_str());
}

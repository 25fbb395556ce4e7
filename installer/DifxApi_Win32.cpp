#include "installer/DifxApi_Win32.h"

#include <string>
#include <vector>

namespace {

const wchar_t kDifxApiName[] = L"difxapi.dll";
constexpr DWORD kLongPathChars = 32768; // the most a Windows path can hold

// LoadLibraryExW takes the LOAD_LIBRARY_SEARCH_* flags from Windows 8 on, and on Vista and 7
// with update KB2533623, which brings AddDllDirectory along.
bool HasSearchFlags() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel && GetProcAddress(kernel, "AddDllDirectory");
}

// This program's folder, with its trailing backslash.
DWORD ProgramFolder(std::wstring* folder) {
    std::vector<wchar_t> path(kLongPathChars);
    const DWORD chars = GetModuleFileNameW(nullptr, path.data(), kLongPathChars);
    if (chars == 0)
        return GetLastError();
    if (chars >= kLongPathChars)
        return ERROR_INSUFFICIENT_BUFFER; // cut short
    folder->assign(path.data(), chars);
    const size_t slash = folder->find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return ERROR_BAD_PATHNAME;
    folder->resize(slash + 1);
    return 0;
}

// The system folder (System32), with a trailing backslash.
DWORD SystemFolder(std::wstring* folder) {
    std::vector<wchar_t> path(kLongPathChars);
    const UINT chars = GetSystemDirectoryW(path.data(), kLongPathChars);
    if (chars == 0)
        return GetLastError();
    if (chars >= kLongPathChars)
        return ERROR_INSUFFICIENT_BUFFER;
    folder->assign(path.data(), chars);
    if (folder->back() != L'\\')
        folder->push_back(L'\\');
    return 0;
}

// Where the flags are missing: the same two folders, each by full path. Its own imports
// are then looked for beside it first.
HMODULE LoadByFullPath(DWORD* error) {
    for (DWORD (*folderOf)(std::wstring*) : {ProgramFolder, SystemFolder}) {
        std::wstring path;
        *error = folderOf(&path);
        if (*error != 0)
            continue;
        path += kDifxApiName;
        if (HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return module;
        *error = GetLastError();
    }
    return nullptr;
}

// difxapi.dll from this program's folder or System32 only: never from the working folder or
// PATH, where anyone could have put a library that would then run as administrator.
HMODULE LoadFromOwnOrSystemFolder(DWORD* error) {
    if (!HasSearchFlags())
        return LoadByFullPath(error);
    HMODULE module = LoadLibraryExW(
        kDifxApiName, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    *error = module ? 0 : GetLastError();
    return module;
}

// GetProcAddress hands out an untyped address; the declared type above is the contract.
template <typename Function> bool Resolve(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

} // namespace

DWORD LoadDifxApi(DifxApi* api) {
    *api = DifxApi{};
    DWORD error = 0;
    HMODULE module = LoadFromOwnOrSystemFolder(&error);
    if (!module)
        return error;
    DifxApi loaded;
    loaded.module = module;
    if (Resolve(module, "DriverPackagePreinstallW", &loaded.preinstall) &&
        Resolve(module, "DriverPackageInstallW", &loaded.install) &&
        Resolve(module, "DriverPackageUninstallW", &loaded.uninstall) &&
        Resolve(module, "DriverPackageGetPathW", &loaded.getPath) &&
        Resolve(module, "DIFXAPISetLogCallbackW", &loaded.setLogCallback)) {
        *api = loaded;
        return 0;
    }
    error = GetLastError();
    FreeLibrary(module);
    return error;
}

void UnloadDifxApi(DifxApi* api) {
    if (api->module)
        FreeLibrary(api->module);
    *api = DifxApi{};
}

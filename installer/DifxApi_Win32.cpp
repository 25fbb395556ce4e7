#include "installer/DifxApi_Win32.h"

namespace {

// GetProcAddress hands out an untyped address; the declared type above is the contract.
template <typename Function> bool Resolve(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

} // namespace

DWORD LoadDifxApi(DifxApi* api) {
    *api = DifxApi{};
    HMODULE module = LoadLibraryW(L"difxapi.dll");
    if (!module)
        return GetLastError();
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
    const DWORD error = GetLastError();
    FreeLibrary(module);
    return error;
}

void UnloadDifxApi(DifxApi* api) {
    if (api->module)
        FreeLibrary(api->module);
    *api = DifxApi{};
}

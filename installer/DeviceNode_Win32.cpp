#include "installer/DeviceNode_Win32.h"

#include "installer/CommandLine.h"
#include "installer/NodeIdentity.h"

#include <cwchar>

namespace {

// The Display device class, {4D36E968-E325-11CE-BFC1-08002BE10318}.
const GUID kDisplayClass = {
    0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// SPDRP_HARDWAREID takes a list of strings ended by an empty one: "DURIRIVAZI\0\0".
const wchar_t kHardwareIds[] = L"DURIRIVAZI\0";
constexpr DWORD kInstanceIdChars = 512;
constexpr DWORD kHardwareIdChars = 512;

static_assert(sizeof(SP_DEVINFO_DATA) == 28, "the 32-bit SetupAPI layout");
static_assert(sizeof(SP_REMOVEDEVICE_PARAMS) == 16, "the 32-bit SetupAPI layout");

// Prints the failing SetupAPI call with the thread's last error; returns -1.
int Fail(const wchar_t* call) {
    const DWORD error = GetLastError();
    wprintf(L"%ls *ERROR*: %lu\n", call, error);
    return -1;
}

enum class Search { Failed, NotFound, Found };

// A device list and the node found in it; the list goes with the object.
struct FoundNode {
    HDEVINFO list = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device = {};
    FoundNode() = default;
    FoundNode(const FoundNode&) = delete;
    FoundNode& operator=(const FoundNode&) = delete;
    ~FoundNode() { Release(); }
    void Release() {
        if (list != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(list);
        list = INVALID_HANDLE_VALUE;
    }
};

// Whether the node carries our hardware ID; one whose IDs cannot be read is someone else's.
bool HasOwnHardwareId(HDEVINFO list, SP_DEVINFO_DATA* device) {
    wchar_t ids[kHardwareIdChars];
    DWORD type = 0;
    DWORD bytes = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(list, device, SPDRP_HARDWAREID, &type,
                                           reinterpret_cast<BYTE*>(ids), sizeof ids, &bytes) ||
        type != REG_MULTI_SZ)
        return false;
    return ListsOwnHardwareId(ids, (bytes < sizeof ids ? bytes : sizeof ids) / sizeof(wchar_t));
}

// Walks the Display class for the first device that is ours: instance ID ROOT\DURIRIVAZI\...
// and hardware ID DURIRIVAZI. Prints each instance ID. Only a found node keeps its list.
Search FindDeviceNode(FoundNode* node) {
    node->list = SetupDiGetClassDevsW(&kDisplayClass, nullptr, nullptr, 0);
    if (node->list == INVALID_HANDLE_VALUE) {
        Fail(L"SetupDiGetClassDevs");
        return Search::Failed;
    }
    node->device.cbSize = sizeof node->device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(node->list, index, &node->device); ++index) {
        wchar_t id[kInstanceIdChars];
        if (!SetupDiGetDeviceInstanceIdW(node->list, &node->device, id, kInstanceIdChars,
                                         nullptr)) {
            Fail(L"SetupDiGetDeviceInstanceId");
            node->Release();
            return Search::Failed;
        }
        wprintf(L"Device enum: %ls\n", id);
        if (IsOwnInstanceId(id) && HasOwnHardwareId(node->list, &node->device))
            return Search::Found;
    }
    // The normal end of the list (259) is reported as well.
    Fail(L"SetupDiEnumDeviceInfo");
    node->Release();
    return Search::NotFound;
}

// Creates, names and registers the new node in `list`.
int RegisterNewNode(HDEVINFO list) {
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(list, kDeviceName, &kDisplayClass, nullptr, nullptr,
                                  DICD_GENERATE_ID, &device))
        return Fail(L"SetupDiCreateDeviceInfo");
    wchar_t id[kInstanceIdChars];
    if (!SetupDiGetDeviceInstanceIdW(list, &device, id, kInstanceIdChars, nullptr))
        return Fail(L"SetupDiGetDeviceInstanceId");
    wprintf(L"SetupDiCreateDeviceInfo OK: %ls\n", id);
    if (!SetupDiSetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(kHardwareIds),
                                           sizeof kHardwareIds))
        return Fail(L"SetupDiSetDeviceRegistryProperty");
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, list, &device))
        return Fail(L"SetupDiCallClassInstaller");
    return 0;
}

int AddNode() {
    FoundNode existing;
    const Search search = FindDeviceNode(&existing);
    if (search == Search::Found)
        wprintf(L"*WARNING* devnode already exists.\n");
    if (search != Search::NotFound)
        return search == Search::Failed ? -1 : 0;
    HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (list == INVALID_HANDLE_VALUE)
        return Fail(L"SetupDiCreateDeviceInfoList");
    const int result = RegisterNewNode(list);
    SetupDiDestroyDeviceInfoList(list);
    return result;
}

// Removes the node found in `list`, for every hardware profile.
int RemoveFoundNode(HDEVINFO list, SP_DEVINFO_DATA* device) {
    SP_REMOVEDEVICE_PARAMS params = {};
    params.ClassInstallHeader.cbSize = sizeof params.ClassInstallHeader;
    params.ClassInstallHeader.InstallFunction = DIF_REMOVE;
    params.Scope = DI_REMOVEDEVICE_GLOBAL;
    params.HwProfile = 0;
    if (!SetClassInstallParams(list, device, &params.ClassInstallHeader, sizeof params))
        return Fail(L"SetupDiSetClassInstallParams");
    if (!SetupDiCallClassInstaller(DIF_REMOVE, list, device))
        return Fail(L"SetupDiCallClassInstaller");
    wprintf(L"device removed.\n");
    return 0;
}

int DropNode() {
    FoundNode node;
    const Search search = FindDeviceNode(&node);
    if (search == Search::NotFound)
        wprintf(L"No device found.\n");
    if (search != Search::Found)
        return search == Search::Failed ? -1 : 0;
    return RemoveFoundNode(node.list, &node.device);
}

} // namespace

int CreateDeviceNode() {
    wprintf(L"TEST: adding devnode.\n");
    if (AddNode() < 0) {
        wprintf(L"TEST: failed to create devnode\n");
        return kExitFailed;
    }
    return kExitRan;
}

int RemoveDeviceNode() {
    wprintf(L"TEST: removing devnode.\n");
    if (DropNode() < 0) {
        wprintf(L"TEST: failed to remove devnode\n");
        return kExitFailed;
    }
    return kExitRan;
}

#include "installer/NodeIdentity.h"

#include <cwchar>

namespace {

const wchar_t kInstancePrefix[] = L"ROOT\\DURIRIVAZI\\";
constexpr size_t kInstancePrefixChars = sizeof kInstancePrefix / sizeof(wchar_t) - 1;
constexpr size_t kDeviceNameChars = sizeof kDeviceName / sizeof(wchar_t) - 1;

} // namespace

bool IsOwnInstanceId(const wchar_t* instanceId) {
    return std::wcsncmp(instanceId, kInstancePrefix, kInstancePrefixChars) == 0;
}

bool ListsOwnHardwareId(const wchar_t* list, size_t chars) {
    size_t start = 0;
    while (start < chars && list[start] != L'\0') {
        size_t end = start;
        while (end < chars && list[end] != L'\0')
            ++end;
        if (end - start == kDeviceNameChars &&
            std::wmemcmp(list + start, kDeviceName, kDeviceNameChars) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

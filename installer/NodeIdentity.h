// What makes a device node the virtual display's own: its instance ID and its hardware ID.
//
// Platform-free: works on the texts SetupAPI hands over, which are treated as hostile
// (another program can create nodes with any IDs).
#pragma once

#include <cstddef>

// The device name and the only hardware ID of the node that mirsetup creates.
constexpr wchar_t kDeviceName[] = L"DURIRIVAZI";

// Windows names a generated root instance ROOT\<name>\<number>; the separator keeps
// another device whose name merely starts the same (ROOT\DURIRIVAZI_OTHER\...) out.
bool IsOwnInstanceId(const wchar_t* instanceId);

// Whether a hardware ID list (strings each ended by a zero, the list by an empty one) holds
// kDeviceName exactly. Reads at most `chars` characters, so a list cut short is safe.
bool ListsOwnHardwareId(const wchar_t* list, size_t chars);

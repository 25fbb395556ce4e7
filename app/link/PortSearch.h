// Search for a COM port that opens, cyclically over the numbers 1 to 63.
//
// Platform-free: the open test is supplied by the caller (a SioIF in mirpanel).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kLowestPort = 1;
constexpr int32_t kHighestPort = 63;

// "COM%d" up to 9, "\\.\COM%d" from 10 on: Windows opens only COM1..COM9 by their bare
// names. Returns false when the buffer is too small.
bool FormatPortPath(int32_t port, char* buffer, size_t size);

// Tests one port path; true when the port opened.
using PortOpenTest = bool (*)(const char* portPath, void* context);

// Tries the ports from `current` (values below 1 count as 1) in the direction of `step`
// (negative: down, otherwise up), around the ring 1..63, `current` itself last. Returns
// the first that opened, or -1 when none did. Every port is tried at most once, so a
// current number beyond the ring ends the search too.
int32_t SearchComPort(int32_t current, int32_t step, PortOpenTest test, void* context);

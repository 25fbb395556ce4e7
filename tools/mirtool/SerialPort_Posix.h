// Serial devices on Linux, shared by mirtool send and mirtool mirror: raw 8N1 at any rate
// the driver takes (rates outside the standard set through BOTHER), CTS output flow control
// when asked, DTR and RTS off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirtool {

struct SerialLine {
    int32_t speed = 500000;
    bool cts = false;     // hold output while the display drops CTS
    bool blocking = true; // writes wait for the line; otherwise they fail with EAGAIN
};

// Whether termios names this rate (B9600 and so on); others are set through BOTHER.
bool IsStandardSpeed(int32_t baud);

// Opens `device` with `line`. Returns the descriptor, or the negated errno with `error`
// naming the device (ENOTTY: not a serial port).
int OpenSerial(const std::string& device, const SerialLine& line, std::string& error);

// Whether an errno of open or write means that the device behind the path has gone: an
// unplugged USB adapter, or the far end of a pseudo-terminal closed.
bool IsDeviceGone(int code);

// The output speed the line reports, in baud; -1 when it cannot tell.
int64_t LineSpeed(int fd);

// Writes every byte and waits until they have left. False with `error` set on failure.
bool WriteAll(int fd, const std::vector<uint8_t>& bytes, std::string& error);

} // namespace mirtool

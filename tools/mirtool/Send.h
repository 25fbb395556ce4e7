// mirtool send: the bytes of mirtool convert written to a serial device on Linux, so that
// a panel can be driven without Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mirtool/SerialPort_Posix.h"

namespace mirtool {

// Whether termios can set this baud rate.
bool SerialSpeedSupported(int32_t baud);

// Exit status: 0 sent, 1 the device failed, 2 bad arguments or input.
int RunSend(int argc, char** argv);

} // namespace mirtool

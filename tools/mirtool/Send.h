// mirtool send: the bytes of mirtool convert written to a serial device on Linux, so that
// a panel can be driven without Windows.
#pragma once

#include <cstdint>
#include <string>

namespace mirtool {

// Whether `send` takes this baud rate: every rate of mirpanel's window and the usual
// faster ones.
bool SerialSpeedSupported(int32_t baud);

// Those rates, as "9600, 19200, ...".
std::string AcceptedSpeeds();

// Exit status: 0 sent, 1 the device failed, 2 bad arguments or input.
int RunSend(int argc, char** argv);

} // namespace mirtool

// mirtool send: the bytes of mirtool convert written to a serial device on Linux, so that
// a panel can be driven without Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirtool {

// Whether `send` takes this baud rate: every rate of mirpanel's window and the usual
// faster ones.
bool SerialSpeedSupported(int32_t baud);

// Those rates, as "9600, 19200, ...".
std::string AcceptedSpeeds();

// Opens `device` at `speed` baud, 8N1, raw, no flow control, DTR and RTS off. Returns the
// descriptor, or -1 with `error` set.
int OpenSerial(const std::string& device, int32_t speed, std::string& error);

// Writes every byte and waits until they have left. False with `error` set on failure.
bool WriteAll(int fd, const std::vector<uint8_t>& bytes, std::string& error);

// Exit status: 0 sent, 1 the device failed, 2 bad arguments or input.
int RunSend(int argc, char** argv);

} // namespace mirtool

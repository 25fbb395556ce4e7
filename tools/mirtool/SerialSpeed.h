// Line speeds that termios has no name for (76800, 153600, 250000, ... baud): on Linux they
// are set by number through termios2 and BOTHER. Kept apart because the kernel's termios
// headers cannot be included beside <termios.h>.
#pragma once

#include <cstdint>
#include <string>

namespace mirtool {

// Sets the open serial line `fd` to `baud`, both directions, leaving the rest of its mode as
// it is. False with `error` set when the system cannot.
bool SetSpeedByNumber(int fd, int32_t baud, std::string& error);

// The output speed the line reports, in baud; -1 when it cannot tell.
int64_t LineSpeed(int fd);

} // namespace mirtool

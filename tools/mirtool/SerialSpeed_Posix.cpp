#include "tools/mirtool/SerialSpeed.h"

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>

#if defined(__linux__)
#include <asm/termbits.h>
#endif

namespace mirtool {

#if defined(__linux__) && defined(BOTHER) && defined(TCGETS2)

bool SetSpeedByNumber(int fd, int32_t baud, std::string& error) {
    struct termios2 mode;
    if (ioctl(fd, TCGETS2, &mode) != 0) {
        error = std::string("cannot read the line: ") + strerror(errno);
        return false;
    }
    // Input speed bits cleared: the input runs at the output speed.
    mode.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    mode.c_cflag |= BOTHER;
    mode.c_ispeed = static_cast<speed_t>(baud);
    mode.c_ospeed = static_cast<speed_t>(baud);
    if (ioctl(fd, TCSETS2, &mode) != 0) {
        error = "cannot set " + std::to_string(baud) + " baud: " + strerror(errno);
        return false;
    }
    return true;
}

int64_t LineSpeed(int fd) {
    struct termios2 mode;
    return ioctl(fd, TCGETS2, &mode) == 0 ? static_cast<int64_t>(mode.c_ospeed) : -1;
}

#else

bool SetSpeedByNumber(int, int32_t baud, std::string& error) {
    error = "this system cannot set " + std::to_string(baud) + " baud";
    return false;
}

int64_t LineSpeed(int) {
    return -1;
}

#endif

} // namespace mirtool

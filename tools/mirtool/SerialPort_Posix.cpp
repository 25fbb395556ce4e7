#include "tools/mirtool/SerialPort_Posix.h"

// termios2 (for BOTHER) comes from the kernel's header, which clashes with <termios.h>:
// this file uses the kernel's definitions only.
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace mirtool {

namespace {

struct SpeedCode {
    int32_t baud;
    speed_t code;
};

// The display's rates and the usual ones that termios can name.
const SpeedCode kSpeeds[] = {
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
};

// The rate's code, or BOTHER with the rate in c_ispeed and c_ospeed. A named code keeps
// the line readable by programs that know only those (cfgetospeed).
speed_t SpeedCodeOf(int32_t baud) {
    for (const SpeedCode& s : kSpeeds) {
        if (s.baud == baud)
            return s.code;
    }
    return BOTHER;
}

// Raw 8N1 at `line.speed`, receiver on, modem status ignored. 0 or an errno.
int SetLine(int fd, const SerialLine& line) {
    termios2 mode;
    if (ioctl(fd, TCGETS2, &mode) != 0)
        return errno;
    mode.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    mode.c_oflag &= ~OPOST;
    mode.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    mode.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | CRTSCTS | HUPCL);
    mode.c_cflag |= SpeedCodeOf(line.speed) | CS8 | CLOCAL | CREAD | (line.cts ? CRTSCTS : 0);
    mode.c_ispeed = static_cast<speed_t>(line.speed);
    mode.c_ospeed = static_cast<speed_t>(line.speed);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &mode) == 0 ? 0 : errno;
}

// Pseudo-terminals have no modem lines; anything else must take the change.
int LowerDtrRts(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIC, &lines) == 0 || errno == ENOTTY || errno == EINVAL)
        return 0;
    return errno;
}

int MakeBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return errno;
    return 0;
}

std::string Describe(const char* step, int code) {
    if (code == ENOTTY)
        return "not a serial port";
    return std::string(step) + strerror(code);
}

} // namespace

bool IsStandardSpeed(int32_t baud) {
    return SpeedCodeOf(baud) != BOTHER;
}

int OpenSerial(const std::string& device, const SerialLine& line, std::string& error) {
    if (line.speed <= 0) {
        error = device + ": bad speed " + std::to_string(line.speed);
        return -EINVAL;
    }
    // Opened non-blocking: without CLOCAL set yet, a plain open would wait for a carrier
    // that the display never raises.
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int code = errno;
        error = device + ": " + strerror(code);
        return -code;
    }
    const char* step = "cannot set the line: ";
    int code = SetLine(fd, line);
    if (code == 0) {
        step = "cannot lower DTR and RTS: ";
        code = LowerDtrRts(fd);
    }
    if (code == 0 && line.blocking) {
        step = "cannot make the line blocking: ";
        code = MakeBlocking(fd);
    }
    if (code == 0)
        return fd;
    error = device + ": " + Describe(step, code);
    close(fd);
    return -code;
}

int64_t LineSpeed(int fd) {
    termios2 mode;
    return ioctl(fd, TCGETS2, &mode) == 0 ? static_cast<int64_t>(mode.c_ospeed) : -1;
}

bool IsDeviceGone(int code) {
    return code == EIO || code == ENXIO || code == ENODEV || code == ENOENT;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes, std::string& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::string("write failed: ") + strerror(errno);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    // TCSBRK with a non-zero argument is tcdrain.
    if (ioctl(fd, TCSBRK, 1) != 0 && errno != ENOTTY && errno != EINVAL) {
        error = std::string("drain failed: ") + strerror(errno);
        return false;
    }
    return true;
}

} // namespace mirtool

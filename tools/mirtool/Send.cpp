#include "tools/mirtool/Send.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "tools/mirtool/Convert.h"
#include "tools/mirtool/Help.h"
#include "tools/mirtool/SerialSpeed.h"

namespace mirtool {

namespace {

const char kUsage[] = "usage: send IMAGE... --port DEVICE [--speed N] [conversion options]";

int Fail(const std::string& message) {
    fprintf(stderr, "mirtool send: %s\n", message.c_str());
    return kExitBadInput;
}

// A speed without a termios name is set by number after the rest of the line.
constexpr speed_t kByNumber = B0;

struct SpeedCode {
    int32_t baud;
    speed_t code;
};

// The rates of mirpanel's window, in its order, then the usual faster ones.
const SpeedCode kSpeeds[] = {
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {76800, kByNumber},  {115200, B115200},   {153600, kByNumber}, {204800, kByNumber},
    {250000, kByNumber}, {307200, kByNumber}, {409600, kByNumber}, {500000, B500000},
    {230400, B230400},   {460800, B460800},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
};

bool SpeedFor(int32_t baud, speed_t& code) {
    for (const SpeedCode& s : kSpeeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

bool SetLine(int fd, speed_t code, std::string& error) {
    termios mode;
    if (tcgetattr(fd, &mode) != 0) {
        error = std::string("not a serial device: ") + strerror(errno);
        return false;
    }
    cfmakeraw(&mode);
    mode.c_cflag &= ~(CSTOPB | PARENB | CSIZE | CRTSCTS | HUPCL);
    mode.c_cflag |= CS8 | CLOCAL | CREAD;
    mode.c_iflag &= ~(IXON | IXOFF | IXANY);
    // B0 would hang the line up: a by-number speed starts from 9600.
    const speed_t named = code == kByNumber ? B9600 : code;
    if (cfsetispeed(&mode, named) != 0 || cfsetospeed(&mode, named) != 0 ||
        tcsetattr(fd, TCSANOW, &mode) != 0) {
        error = std::string("cannot set the line: ") + strerror(errno);
        return false;
    }
    return true;
}

// Pseudo-terminals have no modem lines; anything else must take the change.
bool LowerDtrRts(int fd, std::string& error) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIC, &lines) == 0 || errno == ENOTTY || errno == EINVAL)
        return true;
    error = std::string("cannot lower DTR and RTS: ") + strerror(errno);
    return false;
}

bool MakeBlocking(int fd, std::string& error) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = std::string("cannot make the line blocking: ") + strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool SerialSpeedSupported(int32_t baud) {
    speed_t code;
    return SpeedFor(baud, code);
}

std::string AcceptedSpeeds() {
    std::string list;
    for (const SpeedCode& s : kSpeeds)
        list += (list.empty() ? "" : ", ") + std::to_string(s.baud);
    return list;
}

int OpenSerial(const std::string& device, int32_t speed, std::string& error) {
    speed_t code;
    if (!SpeedFor(speed, code)) {
        error = "speed not supported here: " + std::to_string(speed);
        return -1;
    }
    // Opened non-blocking: without CLOCAL set yet, a plain open would wait for a carrier
    // that the display never raises. Writes block again once the line ignores it.
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = device + ": " + strerror(errno);
        return -1;
    }
    if (!SetLine(fd, code, error) || (code == kByNumber && !SetSpeedByNumber(fd, speed, error)) ||
        !LowerDtrRts(fd, error) || !MakeBlocking(fd, error)) {
        error = device + ": " + error;
        close(fd);
        return -1;
    }
    return fd;
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
    if (tcdrain(fd) != 0 && errno != ENOTTY && errno != EINVAL) {
        error = std::string("drain failed: ") + strerror(errno);
        return false;
    }
    return true;
}

int RunSend(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {
        PrintHelp("send", stdout);
        return kExitDone;
    }
    PipelineSettings settings;
    std::vector<std::string> images;
    std::string port;
    std::string speedText = "500000";
    std::string error;
    if (!ParseCommand(argc, argv, {{"--port", &port}, {"--speed", &speedText}}, settings, images,
                      error))
        return Fail(error);
    int32_t speed = 0;
    if (!ParseInt32(speedText.c_str(), speed) || !SerialSpeedSupported(speed))
        return Fail("bad value for --speed: " + speedText + " (accepted: " + AcceptedSpeeds() +
                    ")");
    if (port.empty())
        return Fail(std::string("no --port DEVICE given; ") + kUsage);
    std::vector<uint8_t> bytes;
    std::string warning;
    if (!BytesOfImages(images, settings, bytes, warning, error))
        return Fail(error);
    PrintWarning("send", warning);
    int fd = OpenSerial(port, speed, error);
    if (fd < 0) {
        fprintf(stderr, "mirtool send: %s\n", error.c_str());
        return kExitOutputFailed;
    }
    // An adapter that rounds the rate makes the panel show garbage: say so.
    const int64_t actual = LineSpeed(fd);
    if (actual >= 0 && actual != speed)
        fprintf(stderr, "mirtool send: warning: %s runs at %lld baud, not %d\n", port.c_str(),
                static_cast<long long>(actual), speed);
    bool ok = WriteAll(fd, bytes, error);
    close(fd);
    if (!ok) {
        fprintf(stderr, "mirtool send: %s: %s\n", port.c_str(), error.c_str());
        return kExitOutputFailed;
    }
    return 0;
}

} // namespace mirtool

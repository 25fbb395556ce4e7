#include "tools/mirtool/Send.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "tools/mirtool/Convert.h"

namespace mirtool {

namespace {

const char kUsage[] = "usage: send IMAGE... --port DEVICE [--speed N] [conversion options]";

int Fail(const std::string& message) {
    fprintf(stderr, "mirtool send: %s\n", message.c_str());
    return 2;
}

} // namespace

bool SerialSpeedSupported(int32_t baud) {
    return IsStandardSpeed(baud);
}

int RunSend(int argc, char** argv) {
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
        return Fail("bad value for --speed: " + speedText);
    if (port.empty())
        return Fail(std::string("no --port DEVICE given; ") + kUsage);
    std::vector<uint8_t> bytes;
    if (!BytesOfImages(images, settings, bytes, error))
        return Fail(error);
    int fd = OpenSerial(port, SerialLine{speed, false, true}, error);
    if (fd < 0) {
        fprintf(stderr, "mirtool send: %s\n", error.c_str());
        return 1;
    }
    bool ok = WriteAll(fd, bytes, error);
    close(fd);
    if (!ok) {
        fprintf(stderr, "mirtool send: %s: %s\n", port.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

} // namespace mirtool

#include "tools/mirtool/Send.h"

#include <cstdio>
#include <unistd.h>

#include "app/window/PanelSteps.h"
#include "tools/mirtool/Convert.h"
#include "tools/mirtool/Help.h"
#include "tools/mirtool/SerialPort_Posix.h"

namespace mirtool {

namespace {

const char kUsage[] = "usage: send IMAGE... --port DEVICE [--speed N] [conversion options]";

// Beyond the rates of mirpanel's window (kLineSpeeds), the usual faster ones.
const int32_t kFasterSpeeds[] = {230400,  460800,  576000,  921600,
                                 1000000, 1152000, 1500000, 2000000};

template <typename F> void ForEachSpeed(F f) {
    for (int32_t s : kLineSpeeds)
        f(s);
    for (int32_t s : kFasterSpeeds)
        f(s);
}

int Fail(const std::string& message) {
    fprintf(stderr, "mirtool send: %s\n", message.c_str());
    return kExitBadInput;
}

} // namespace

bool SerialSpeedSupported(int32_t baud) {
    bool found = false;
    ForEachSpeed([&](int32_t s) { found = found || s == baud; });
    return found;
}

std::string AcceptedSpeeds() {
    std::string list;
    ForEachSpeed([&](int32_t s) { list += (list.empty() ? "" : ", ") + std::to_string(s); });
    return list;
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
    int fd = OpenSerial(port, SerialLine{speed, false, true}, error);
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
    return kExitDone;
}

} // namespace mirtool

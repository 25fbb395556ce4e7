// Compiled with the execution character set CP932: the literals below become Shift-JIS.
#include "app/window/PanelTexts.h"

#include <cstdio>

const char kInitialisingText[] = "初期化中...";

namespace {

const char kStopped[] = "停止中";
const char kRunning[] = "動作中";
const char kCheckDisplay[] = "*画面のプロパティを確認してください*";
const char kCheckUsb[] = "*USB接続を確認してください*";
const char kInstallDriver[] = "*ドライバをインストールしてください*";

template <typename... Args> std::string format(const char* pattern, Args... args) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof(buffer), pattern, args...);
    if (length < 0)
        return std::string();
    return std::string(buffer, static_cast<size_t>(length) < sizeof(buffer)
                                   ? static_cast<size_t>(length)
                                   : sizeof(buffer) - 1);
}

} // namespace

std::string statusText(const StatusFlags& flags) {
    if (!flags.anyActive)
        return kStopped;
    if (flags.runMode == 0) {
        if (!flags.captureReady)
            return kCheckDisplay;
    } else {
        if (!flags.mirrorDeviceFound)
            return kInstallDriver;
        if (!flags.mirrorModeFound)
            return kCheckDisplay;
    }
    return flags.linksUp ? kRunning : kCheckUsb;
}

std::string driverText(const StatusFlags& flags) {
    if (!flags.mirrorDeviceFound)
        return "*見つかりません*";
    return flags.mirrorModeFound ? kRunning : kStopped;
}

std::string modeText(int32_t runMode) {
    return runMode == 0 ? "メイン画面ミラー" : "外部モニタ";
}

std::string portText(const MonitorRecord& record) {
    if (record.port < 1)
        return "*COMポートがありません*";
    const char* suffix = !record.active ? "" : record.linkUp ? "OK" : "*エラー*";
    return format("COM%d %s", record.port, suffix);
}

std::string speedText(int32_t speed) {
    return format("%d.%03d kbps", speed / 1000, speed % 1000);
}

std::string ctsText(int32_t cts) {
    return cts != 0 ? "ON (無線用)" : "off (有線用)";
}

std::string ditherText(int32_t dither) {
    switch (dither) {
    case 0:
        return "白黒2値";
    case 1:
        return "Floyd-Steinberg";
    case 2:
        return "4色ハーフトーン";
    default:
        return "???";
    }
}

std::string ratioText(double value) {
    return format("%.2f", value);
}

std::string numberText(int32_t value) {
    return format("%d", value);
}

std::string onOffText(int32_t value) {
    return value != 0 ? "ON" : "off";
}

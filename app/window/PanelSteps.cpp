#include "app/window/PanelSteps.h"

#include "app/window/WidgetIds.h"

namespace {

constexpr double kRatioStep = 0.05;
constexpr double kRatioMin = 0.5;
constexpr double kRatioMax = 1.5;
constexpr int32_t kOffsetStep = 8;
constexpr int32_t kOffsetLimit = 64;
constexpr int32_t kPositionStep = 16;
constexpr int32_t kDitherModes = 3;

} // namespace

int32_t stepSpeed(int32_t speed, int direction) {
    int index = 0;
    while (index < kLineSpeedCount && kLineSpeeds[index] < speed)
        ++index;
    if (index == kLineSpeedCount)
        index = 0;
    index += direction < 0 ? -1 : 1;
    if (index < 0)
        index = kLineSpeedCount - 1;
    else if (index >= kLineSpeedCount)
        index = 0;
    return kLineSpeeds[index];
}

int32_t stepDither(int32_t dither, int direction) {
    if (direction < 0)
        return dither >= 1 ? dither - 1 : kDitherModes - 1;
    return dither >= kDitherModes - 1 ? 0 : dither + 1; // dither + 1 >= 3, without overflow
}

double stepRatio(double value, double delta) {
    double result = value + delta;
    if (!(result >= kRatioMin)) // NaN counts as below, so that a click brings it back
        result = kRatioMin;
    if (result > kRatioMax)
        result = kRatioMax;
    return result;
}

int32_t stepClamped(int32_t value, int32_t delta, int32_t low, int32_t high) {
    const int64_t result = static_cast<int64_t>(value) + delta;
    if (result < low)
        return low;
    if (result > high)
        return high;
    return static_cast<int32_t>(result);
}

FollowUp applySettingClick(int32_t id, MonitorRecord& record) {
    switch (id) {
    case kIdSpeedDown:
    case kIdSpeedUp:
        record.speed = stepSpeed(record.speed, id == kIdSpeedDown ? -1 : 1);
        return FollowUp::Restart;
    case kIdCtsToggle:
        record.cts = record.cts == 0 ? 1 : 0;
        return FollowUp::Restart;
    case kIdDitherDown:
    case kIdDitherUp:
        record.dither = stepDither(record.dither, id == kIdDitherDown ? -1 : 1);
        return FollowUp::Resend;
    case kIdContrastDown:
    case kIdContrastUp:
        record.contrast =
            stepRatio(record.contrast, id == kIdContrastDown ? -kRatioStep : kRatioStep);
        return FollowUp::Resend;
    case kIdBrightnessDown:
    case kIdBrightnessUp:
        record.offset =
            stepClamped(record.offset, id == kIdBrightnessDown ? -kOffsetStep : kOffsetStep,
                        -kOffsetLimit, kOffsetLimit);
        return FollowUp::Resend;
    case kIdGammaDown:
    case kIdGammaUp:
        record.gamma = stepRatio(record.gamma, id == kIdGammaDown ? -kRatioStep : kRatioStep);
        return FollowUp::Resend;
    case kIdRotateToggle:
        record.rotate = record.rotate != 0 ? 0 : 2; // half a turn, or back upright
        return FollowUp::Resend;
    case kIdInvertToggle:
        record.invert = record.invert != 0 ? 0 : 1; // any other value read back counts as on
        return FollowUp::Resend;
    case kIdPosXDown:
    case kIdPosXUp:
        record.posX = stepClamped(record.posX, id == kIdPosXDown ? -kPositionStep : kPositionStep,
                                  0, kPanelWidth);
        return FollowUp::Resend;
    case kIdPosYDown:
    case kIdPosYUp:
        record.posY = stepClamped(record.posY, id == kIdPosYDown ? -kPositionStep : kPositionStep,
                                  0, kPanelHeight);
        return FollowUp::Resend;
    default:
        return FollowUp::None;
    }
}

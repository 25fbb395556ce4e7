#pragma once
// Ids of the main window's widgets. Every static caption has id 0.

#include <cstdint>

enum WidgetId : int32_t {
    kIdCaption = 0,
    // value labels
    kIdStatus = 1,
    kIdModeName = 2,
    kIdPort = 3,
    kIdDriver = 4,
    kIdSpeed = 5,
    kIdCts = 6,
    kIdDither = 7,
    kIdContrast = 8,
    kIdBrightness = 9,
    kIdGamma = 10,
    kIdRotate = 12,
    kIdInvert = 13,
    kIdPosX = 15,
    kIdPosY = 16,
    // display tabs and the "on" checkbox
    kIdTab1 = 17,
    kIdTab2 = 18,
    kIdActive = 19,
    // buttons
    kIdModeDown = 21,
    kIdModeUp = 22,
    kIdPortDown = 23,
    kIdPortUp = 24,
    kIdSpeedDown = 25,
    kIdSpeedUp = 26,
    kIdCtsToggle = 27,
    kIdDitherDown = 28,
    kIdDitherUp = 29,
    kIdContrastDown = 30,
    kIdContrastUp = 31,
    kIdBrightnessDown = 32,
    kIdBrightnessUp = 33,
    kIdGammaDown = 34,
    kIdGammaUp = 35,
    kIdRotateToggle = 37,
    kIdInvertToggle = 38,
    kIdPosXDown = 41,
    kIdPosXUp = 42,
    kIdPosYDown = 43,
    kIdPosYUp = 44,
    // the panel of the selected display
    kIdPanel = 45,
};

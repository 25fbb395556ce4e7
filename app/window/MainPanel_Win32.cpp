// Compiled with the execution character set CP932: the captions below become Shift-JIS.
#include "app/window/MainPanel_Win32.h"

#include "app/core/Globals.h"
#include "app/link/Links_Win32.h"
#include "app/window/PanelTexts.h"
#include "app/window/WidgetIds.h"

namespace {

enum class Kind { Caption, Value, Button, Tab, Panel, Checkbox };

struct WidgetRow {
    Kind kind;
    int32_t id;
    RECT rect;
    const char* text;
};

// Rows are 14 pixels high. Captions span x 6 to 106; a "-" button follows 4 pixels to the
// right and its "+" 4 pixels further (a lone toggle "+" sits where a pair's "+" would);
// value labels start 6 pixels right of the "+" and are 140 wide. The tabs overlap the
// panel's top border row, which is painted after them.
const WidgetRow kLayout[] = {
    {Kind::Caption, kIdCaption, {6, 2, 106, 16}, "状態 :"},
    {Kind::Value, kIdStatus, {110, 2, 310, 16}, "*"},
    {Kind::Caption, kIdCaption, {6, 20, 106, 34}, "ミルベイン 画面ドライバ :"},
    {Kind::Value, kIdDriver, {110, 20, 310, 34}, "*"},
    {Kind::Caption, kIdCaption, {6, 38, 106, 52}, "動作モード :"},
    {Kind::Button, kIdModeDown, {110, 38, 124, 52}, "-"},
    {Kind::Button, kIdModeUp, {128, 38, 142, 52}, "+"},
    {Kind::Value, kIdModeName, {148, 38, 288, 52}, "*"},
    {Kind::Tab, kIdTab1, {6, 64, 106, 82}, "ミルベイン1 設定"},
    {Kind::Tab, kIdTab2, {116, 64, 216, 82}, "ミルベイン2 設定"},
    {Kind::Panel, kIdPanel, {5, 81, 306, 322}, ""},
    {Kind::Checkbox, kIdActive, {12, 82, 312, 106}, "オン"},
    {Kind::Caption, kIdCaption, {6, 110, 106, 124}, "ミルベイン 接続ポート :"},
    {Kind::Button, kIdPortDown, {110, 110, 124, 124}, "-"},
    {Kind::Button, kIdPortUp, {128, 110, 142, 124}, "+"},
    {Kind::Value, kIdPort, {148, 110, 288, 124}, "*"},
    {Kind::Caption, kIdCaption, {6, 128, 106, 142}, "通信スピード :"},
    {Kind::Button, kIdSpeedDown, {110, 128, 124, 142}, "-"},
    {Kind::Button, kIdSpeedUp, {128, 128, 142, 142}, "+"},
    {Kind::Value, kIdSpeed, {148, 128, 288, 142}, "*"},
    {Kind::Caption, kIdCaption, {6, 146, 106, 160}, "CTSフロー制御 :"},
    {Kind::Button, kIdCtsToggle, {128, 146, 142, 160}, "+"},
    {Kind::Value, kIdCts, {148, 146, 288, 160}, "*"},
    {Kind::Caption, kIdCaption, {6, 168, 106, 182}, "ディザモード :"},
    {Kind::Button, kIdDitherDown, {110, 168, 124, 182}, "-"},
    {Kind::Button, kIdDitherUp, {128, 168, 142, 182}, "+"},
    {Kind::Value, kIdDither, {148, 168, 288, 182}, "*"},
    {Kind::Caption, kIdCaption, {6, 186, 106, 200}, "コントラスト調整 :"},
    {Kind::Button, kIdContrastDown, {110, 186, 124, 200}, "-"},
    {Kind::Button, kIdContrastUp, {128, 186, 142, 200}, "+"},
    {Kind::Value, kIdContrast, {148, 186, 288, 200}, "*"},
    {Kind::Caption, kIdCaption, {6, 204, 106, 218}, "明るさ調整 :"},
    {Kind::Button, kIdBrightnessDown, {110, 204, 124, 218}, "-"},
    {Kind::Button, kIdBrightnessUp, {128, 204, 142, 218}, "+"},
    {Kind::Value, kIdBrightness, {148, 204, 288, 218}, "*"},
    {Kind::Caption, kIdCaption, {6, 222, 106, 236}, "ガンマ調整 :"},
    {Kind::Button, kIdGammaDown, {110, 222, 124, 236}, "-"},
    {Kind::Button, kIdGammaUp, {128, 222, 142, 236}, "+"},
    {Kind::Value, kIdGamma, {148, 222, 288, 236}, "*"},
    {Kind::Caption, kIdCaption, {6, 244, 106, 258}, "白黒反転 :"},
    {Kind::Button, kIdInvertToggle, {128, 244, 142, 258}, "+"},
    {Kind::Value, kIdInvert, {148, 244, 288, 258}, "*"},
    {Kind::Caption, kIdCaption, {6, 262, 106, 276}, "画面回転 :"},
    {Kind::Button, kIdRotateToggle, {128, 262, 142, 276}, "+"},
    {Kind::Value, kIdRotate, {148, 262, 288, 276}, "*"},
    {Kind::Caption, kIdCaption, {6, 280, 106, 294}, "水平位置 :"},
    {Kind::Button, kIdPosXDown, {110, 280, 124, 294}, "-"},
    {Kind::Button, kIdPosXUp, {128, 280, 142, 294}, "+"},
    {Kind::Value, kIdPosX, {148, 280, 288, 294}, "*"},
    {Kind::Caption, kIdCaption, {6, 298, 106, 312}, "垂直位置 :"},
    {Kind::Button, kIdPosYDown, {110, 298, 124, 312}, "-"},
    {Kind::Button, kIdPosYUp, {128, 298, 142, 312}, "+"},
    {Kind::Value, kIdPosY, {148, 298, 288, 312}, "*"},
};

constexpr int kAlignLeft = 0;
constexpr int kAlignRight = 2;

ui::Base* makeWidget(const WidgetRow& row) {
    switch (row.kind) {
    case Kind::Caption:
        return new ui::Label(row.id, row.rect, row.text, kAlignRight, false);
    case Kind::Value:
        return new ui::Label(row.id, row.rect, row.text, kAlignLeft, true);
    case Kind::Button:
        return new ui::Button(row.id, row.rect, row.text);
    case Kind::Tab:
        return new ui::OnOffBtn(row.id, row.rect, row.text);
    case Kind::Checkbox:
        return new ui::Checkbox(row.id, row.rect, row.text);
    case Kind::Panel:
        break;
    }
    return new ui::GroupRect(row.id, row.rect);
}

// Every id this window looks up was created as the class the caller expects.
void showChecked(ui::Form& form, HDC dc, int id, bool checked) {
    if (auto* box = static_cast<ui::Checkbox*>(form.FindById(id))) {
        box->checked = checked;
        box->Draw(dc);
    }
}

StatusFlags currentFlags() {
    return StatusFlags{g_runMode, g_anyActive,         g_captureReady,
                       g_linksUp, g_mirrorDeviceFound, g_mirrorModeFound};
}

// The start-up notice: the first refresh after start shows it in place of the status.
bool s_startupNotice = true;

void showStartupNotice(HWND window, ui::Form& form) {
    HDC dc = GetDC(window);
    showText(form, dc, kIdStatus, kInitialisingText);
    ReleaseDC(window, dc);
    s_startupNotice = false;
}

void showRecord(ui::Form& form, HDC dc, const MonitorRecord& record) {
    showText(form, dc, kIdPort, portText(record));
    showText(form, dc, kIdSpeed, speedText(record.speed));
    showText(form, dc, kIdCts, ctsText(record.cts));
    showText(form, dc, kIdDither, ditherText(record.dither));
    showText(form, dc, kIdContrast, ratioText(record.contrast));
    showText(form, dc, kIdBrightness, numberText(record.offset));
    showText(form, dc, kIdGamma, ratioText(record.gamma));
    showText(form, dc, kIdInvert, onOffText(record.invert));
    showText(form, dc, kIdRotate, onOffText(record.rotate));
    showText(form, dc, kIdPosX, numberText(record.posX));
    showText(form, dc, kIdPosY, numberText(record.posY));
    showChecked(form, dc, kIdActive, record.active != 0);
}

} // namespace

void buildMainPanel(ui::Form& form) {
    for (const WidgetRow& row : kLayout)
        form.AddWidget(makeWidget(row));
}

void showText(ui::Form& form, HDC dc, int id, const std::string& text) {
    if (auto* label = static_cast<ui::Label*>(form.FindById(id))) {
        label->text = text;
        label->Draw(dc);
    }
}

void refreshValues(HWND window, ui::Form& form) {
    if (g_selectedMonitor < 0 || static_cast<size_t>(g_selectedMonitor) >= g_monitors.size())
        return;
    const MonitorRecord& record = g_monitors[g_selectedMonitor];
    const StatusFlags flags = currentFlags();
    HDC dc = GetDC(window);
    showText(form, dc, kIdStatus, statusText(flags));
    if (s_startupNotice)
        showStartupNotice(window, form);
    showText(form, dc, kIdDriver, driverText(flags));
    showText(form, dc, kIdModeName, modeText(g_runMode));
    showRecord(form, dc, record);
    showChecked(form, dc, kIdTab1, g_selectedMonitor == 0);
    showChecked(form, dc, kIdTab2, g_selectedMonitor == 1);
    applyWindowPosition();
    ReleaseDC(window, dc);
}

#include "app/window/MainWindow_Win32.h"

#include <shellapi.h>

#include <memory>

#include "app/capture/Discovery.h"
#include "app/core/Globals.h"
#include "app/link/Links_Win32.h"
#include "app/link/SenderLink.h"
#include "app/resource.h"
#include "app/window/MainPanel_Win32.h"
#include "app/window/PanelSteps.h"
#include "app/window/PanelTexts.h"
#include "app/window/WidgetIds.h"

ShellExecuteFunction g_shellExecute = ShellExecuteA;

namespace {

constexpr UINT_PTR kRefreshTimer = 0;
constexpr UINT kRefreshPeriodMs = 4000;

// State the procedure keeps from message to message. The selected display changes only at
// the start of a message, from the requested index that tabs and keys write.
std::unique_ptr<ui::Form> s_form;
int32_t s_requestedMonitor = 0;

// One message's view: the window and whether the value labels must be rewritten.
struct Message {
    HWND window;
    bool refresh;
};

MonitorRecord& selectedRecord() {
    return g_monitors[g_selectedMonitor];
}

// Connection settings changed: show the notice at once, restart the links, and rebuild
// the capture sources only when every port opened.
void restartLinks(Message& m) {
    HDC dc = GetDC(m.window);
    showText(*s_form, dc, kIdStatus, kInitialisingText);
    ReleaseDC(m.window, dc);
    if (StartLinks() == 0)
        recreateMediator();
    m.refresh = true;
}

// Image settings changed: the next frame is converted and sent whole.
void resendPicture(Message& m) {
    m.refresh = true;
    requestFullRefresh();
}

SenderLink* selectedLink() {
    const size_t index = static_cast<size_t>(g_selectedMonitor);
    return index < g_links.size() ? g_links[index] : nullptr;
}

// Packing reads inversion and rotation from the link, from the next frame on.
void copyToLink(int32_t id, const MonitorRecord& record) {
    SenderLink* link = selectedLink();
    if (!link)
        return;
    if (id == kIdInvertToggle)
        link->invert = record.invert != 0;
    else if (id == kIdRotateToggle)
        link->rotate = record.rotate;
}

void selectDisplay(Message& m, int32_t index) {
    s_requestedMonitor = index;
    InvalidateRect(m.window, nullptr, FALSE);
}

void runClick(Message& m, ui::Base& widget) {
    MonitorRecord& record = selectedRecord();
    switch (widget.id) {
    case kIdTab1:
    case kIdTab2:
        selectDisplay(m, widget.id == kIdTab1 ? 0 : 1);
        return;
    case kIdActive:
        record.active = static_cast<ui::Checkbox&>(widget).checked ? 0 : 1;
        restartLinks(m);
        return;
    case kIdModeDown:
    case kIdModeUp:
        g_runMode = g_runMode == 1 ? 0 : 1;
        discoverDisplays();
        m.refresh = true;
        return;
    case kIdPortDown:
    case kIdPortUp:
        record.port = FindComPort(record.port, widget.id == kIdPortDown ? -1 : +1);
        restartLinks(m);
        return;
    default:
        break;
    }
    switch (applySettingClick(widget.id, record)) {
    case FollowUp::Restart:
        restartLinks(m);
        break;
    case FollowUp::Resend:
        copyToLink(widget.id, record);
        resendPicture(m);
        break;
    case FollowUp::None:
        break; // captions, value labels and the panel
    }
}

void paint(HWND window) {
    discoverDisplays(); // re-evaluates the flags that the status shows
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc)
        s_form->DrawAll(dc);
    EndPaint(window, &ps);
}

// The module whose resources made the window, which also holds the about box.
HINSTANCE windowInstance(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

void keyDown(Message& m, WPARAM wParam) {
    if (LOWORD(wParam) == '1')
        s_requestedMonitor = 0;
    else if (LOWORD(wParam) == '2')
        s_requestedMonitor = 1;
    InvalidateRect(m.window, nullptr, FALSE); // the display changes at the next message
}

LRESULT command(HWND window, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:
        DialogBoxParamA(windowInstance(window), MAKEINTRESOURCEA(IDD_ABOUTBOX), window,
                        AboutDialogProc, 0);
        return 0;
    case IDM_EXIT:
        DestroyWindow(window);
        return 0;
    case IDM_WEBPAGE:
        g_shellExecute(nullptr, "open", kMakerWebPage, nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    default:
        return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
}

// Handles the message itself; sets refreshed when it already ran the value refresh.
LRESULT dispatch(Message& m, UINT message, WPARAM wParam, LPARAM lParam, bool& refreshed) {
    switch (message) {
    case WM_CREATE:
        buildMainPanel(*s_form);
        SetTimer(m.window, kRefreshTimer, kRefreshPeriodMs, nullptr);
        refreshValues(m.window, *s_form);
        refreshed = true;
        return 0;
    case WM_PAINT:
        paint(m.window);
        return 0;
    case WM_KEYDOWN:
        keyDown(m, wParam);
        return 0;
    case WM_TIMER:
        requestFullRefresh();
        refreshValues(m.window, *s_form);
        refreshed = true;
        return 0;
    case WM_COMMAND:
        return command(m.window, wParam, lParam);
    case WM_DISPLAYCHANGE:
        if (followMirrorMode() > 0)
            m.refresh = true; // discovery may have changed what the status shows
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0); // ends the frame loop, which saves the settings
        return 0;
    default:
        return DefWindowProcA(m.window, message, wParam, lParam);
    }
}

} // namespace

ui::Form* mainForm() {
    return s_form.get();
}

void registerMainWindowClass(HINSTANCE instance, const char* className) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW; // no CS_DBLCLKS: a double click is two clicks
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MIRPANEL));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_MIRPANEL);
    windowClass.lpszClassName = className;
    RegisterClassExA(&windowClass); // a failure shows up as the window not being created
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s_form) {
        s_form = std::make_unique<ui::Form>();
        s_requestedMonitor = g_selectedMonitor;
    }
    Message m{window, false};
    if (s_requestedMonitor != g_selectedMonitor) {
        g_selectedMonitor = s_requestedMonitor;
        m.refresh = true;
    }
    if (ui::Base* clicked = s_form->HandleMouse(window, message, lParam))
        runClick(m, *clicked);
    bool refreshed = false;
    const LRESULT result = dispatch(m, message, wParam, lParam, refreshed);
    if (m.refresh && !refreshed)
        refreshValues(window, *s_form);
    return result;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE; // the dialog manager focuses the default button
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

#include "ui/Form_Win32.h"

namespace ui {

namespace {

// Drawn at once on a DC of its own, without waiting for WM_PAINT.
void redraw(HWND hwnd, Base* widget) {
    HDC dc = GetDC(hwnd);
    if (!dc)
        return;
    widget->Draw(dc);
    ReleaseDC(hwnd, dc);
}

// Mouse coordinates are two signed 16-bit values: x low, y high.
POINT pointFrom(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

} // namespace

Form::~Form() {
    for (auto& widget : widgets)
        widget.reset(); // in list order
}

void Form::AddWidget(Base* w) {
    widgets.emplace_back(w);
}

Base* Form::HitTest(POINT p) const {
    for (auto it = widgets.rbegin(); it != widgets.rend(); ++it)
        if (*it && PtInRect(&(*it)->rect, p))
            return it->get();
    return nullptr;
}

Base* Form::FindById(int id) const {
    for (const auto& widget : widgets)
        if (widget && widget->id == id)
            return widget.get();
    return nullptr;
}

void Form::DrawAll(HDC hdc) const {
    for (const auto& widget : widgets)
        if (widget)
            widget->Draw(hdc);
}

Base* Form::HandleMouse(HWND hwnd, UINT message, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        return mouseDown(hwnd, pointFrom(lParam));
    case WM_MOUSEMOVE:
        return mouseMove(hwnd, pointFrom(lParam));
    case WM_LBUTTONUP:
        return mouseUp(hwnd, pointFrom(lParam));
    case WM_CAPTURECHANGED:
        // Our own SetCapture (lParam is then this window) is not a loss.
        if (reinterpret_cast<HWND>(lParam) != hwnd)
            cancelPress(hwnd);
        return nullptr;
    case WM_CANCELMODE: // DefWindowProc releases the capture after this
        cancelPress(hwnd);
        return nullptr;
    default:
        return nullptr;
    }
}

Base* Form::mouseDown(HWND hwnd, POINT p) {
    Base* hit = HitTest(p);
    lastHit = hit;
    captured = hit;
    if (!hit)
        return nullptr;
    if (!hit->enabled) {
        captured = nullptr;
        return nullptr;
    }
    hit->pressed = true;
    redraw(hwnd, hit);
    SetCapture(hwnd);
    return nullptr;
}

Base* Form::mouseMove(HWND hwnd, POINT p) {
    if (!captured)
        return nullptr;
    Base* hit = HitTest(p);
    if (hit == lastHit)
        return nullptr;
    const bool wasPressed = captured->pressed;
    if (hit == captured)
        captured->pressed = true;
    else if (lastHit == captured)
        captured->pressed = false;
    lastHit = hit;
    if (captured->pressed != wasPressed)
        redraw(hwnd, captured);
    return nullptr;
}

Base* Form::mouseUp(HWND hwnd, POINT p) {
    if (!captured)
        return nullptr;
    Base* clicked = HitTest(p) == captured ? captured : nullptr;
    // The pressed look ends with the button, also when no move took the pointer off first.
    cancelPress(hwnd);
    ReleaseCapture(); // its WM_CAPTURECHANGED finds no press left
    return clicked;
}

void Form::cancelPress(HWND hwnd) {
    if (!captured)
        return;
    Base* widget = captured;
    captured = nullptr;
    if (widget->pressed) {
        widget->pressed = false;
        redraw(hwnd, widget);
    }
}

} // namespace ui

#pragma once
// The container of a window's widgets: paint order, hit testing, lookup by id, and the
// mouse state machine that turns a press and release on one widget into a click.

#include <windows.h>

#include <memory>
#include <vector>

#include "ui/Widgets_Win32.h"

namespace ui {

class Form {
public:
    Form() = default;
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Appends w (paint order; the last added is the topmost) and takes ownership.
    void AddWidget(Base* w);
    // The topmost widget whose rectangle contains p; null if none.
    Base* HitTest(POINT p) const;
    // The first widget in insertion order with this id; null if none.
    Base* FindById(int id) const;
    // Feeds one window message to the mouse state machine; returns the widget on which a
    // click has just completed, otherwise null. Only WM_MOUSEMOVE, WM_LBUTTONDOWN and
    // WM_LBUTTONUP have an effect, and a loss of the capture (WM_CAPTURECHANGED to another
    // window, WM_CANCELMODE), which ends a press without a click.
    Base* HandleMouse(HWND hwnd, UINT message, LPARAM lParam);
    // Draws every widget in insertion order.
    void DrawAll(HDC hdc) const;

private:
    Base* mouseDown(HWND hwnd, POINT p);
    Base* mouseMove(HWND hwnd, POINT p);
    Base* mouseUp(HWND hwnd, POINT p);
    void cancelPress(HWND hwnd); // ends the current press: no capture, no pressed look

    std::vector<std::unique_ptr<Base>> widgets;
    Base* captured = nullptr; // took the last accepted button-down and holds the capture
    Base* lastHit = nullptr;  // under the pointer at the previous event of this press
};

} // namespace ui

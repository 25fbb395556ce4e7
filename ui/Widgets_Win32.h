#pragma once
// Owner-drawn widgets: rectangles that paint themselves with GDI in one monochrome look
// (white faces, 1-pixel black frames, a 1-pixel shadow just outside the bottom and right
// edges, grey when disabled, black with white text when pressed or switched on).

#include <windows.h>

#include <cstdint>
#include <string>

namespace ui {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGrey = RGB(153, 153, 153);

// The toolkit's two fonts, 9-point "MS UI Gothic" at the screen's resolution, normal and
// bold. Made with the first widget and kept for the life of the process.
HFONT NormalFont();
HFONT BoldFont();

class Base {
public:
    Base(int32_t id, const RECT& rect);
    virtual ~Base() = default;
    Base(const Base&) = delete;
    Base& operator=(const Base&) = delete;

    // Paints the widget inside its rectangle, plus its shadow line where it has one.
    virtual void Draw(HDC hdc) = 0;
    // Marks the rectangle for repainting, without erasing.
    virtual void Invalidate(HWND hwnd);

    RECT rect;            // client coordinates, right and bottom exclusive
    bool enabled = true;  // a disabled widget cannot be pressed and draws grey
    bool pressed = false; // the left button went down here and is held over it
    int32_t id;           // not unique: the window's static captions all have 0
};

// A panel: frame, white face and a shadow.
class GroupRect : public Base {
public:
    using Base::Base;
    void Draw(HDC hdc) override;
};

// Static text in the ANSI code page, without frame or shadow.
class Label : public Base {
public:
    // align: 0 left, 1 centred, any other value right.
    Label(int32_t id, const RECT& rect, std::string text, int32_t align, bool bold);
    void Draw(HDC hdc) override;

    std::string text;
    bool bold;
    int32_t align;
};

// A push button with centred text in the normal font.
class Button : public Label {
public:
    Button(int32_t id, const RECT& rect, std::string text);
    void Draw(HDC hdc) override;
};

// A 14 by 14 box, vertically centred, with a bold caption to its right.
class Checkbox : public Button {
public:
    using Button::Button;
    void Draw(HDC hdc) override;

    bool checked = false;
};

// A toggle that looks like a tab; `checked` is its on state.
class OnOffBtn : public Checkbox {
public:
    using Checkbox::Checkbox;
    void Draw(HDC hdc) override;
};

} // namespace ui

#include "ui/Widgets_Win32.h"

#include <climits>
#include <utility>

namespace ui {

namespace {

HFONT s_normalFont = nullptr;
HFONT s_boldFont = nullptr;

HFONT createToolkitFont(int height, int weight) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH,
                       "MS UI Gothic");
}

void createFontsOnce() {
    if (s_normalFont && s_boldFont)
        return;
    HDC screen = GetDC(nullptr);
    const int height = MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72); // 9 points
    ReleaseDC(nullptr, screen);
    if (!s_normalFont)
        s_normalFont = createToolkitFont(height, FW_NORMAL);
    if (!s_boldFont)
        s_boldFont = createToolkitFont(height, FW_BOLD);
}

// The three solid brushes of one Draw, deleted when it returns.
class Brushes {
public:
    Brushes()
        : white(CreateSolidBrush(kWhite)), black(CreateSolidBrush(kBlack)),
          grey(CreateSolidBrush(kGrey)) {}
    ~Brushes() {
        DeleteObject(white);
        DeleteObject(black);
        DeleteObject(grey);
    }
    Brushes(const Brushes&) = delete;
    Brushes& operator=(const Brushes&) = delete;

    HBRUSH ink(bool enabled) const { return enabled ? black : grey; }

    const HBRUSH white;
    const HBRUSH black;
    const HBRUSH grey;
};

COLORREF inkColour(bool enabled) {
    return enabled ? kBlack : kGrey;
}

void deflate(RECT& r, int n) {
    InflateRect(&r, -n, -n);
}

void setColours(HDC hdc, COLORREF text, COLORREF background) {
    SetTextColor(hdc, text);
    SetBkColor(hdc, background);
}

void drawText(HDC hdc, const std::string& text, RECT box, UINT format) {
    const int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
    DrawTextA(hdc, text.c_str(), length, &box, DT_SINGLELINE | DT_VCENTER | format);
}

// The 1-pixel shadow just outside the bottom and right edges of r, with the DC's pen: along
// the bottom from `fromLeft` pixels in, then up the right side to `toTop` pixels below the
// top (LineTo leaves out each end point).
void cornerShadow(HDC hdc, const RECT& r, int fromLeft, int toTop) {
    MoveToEx(hdc, r.left + fromLeft, r.bottom, nullptr);
    LineTo(hdc, r.right, r.bottom);
    LineTo(hdc, r.right, r.top + toTop);
}

} // namespace

HFONT NormalFont() {
    createFontsOnce();
    return s_normalFont;
}

HFONT BoldFont() {
    createFontsOnce();
    return s_boldFont;
}

Base::Base(int32_t id, const RECT& rect) : rect(rect), id(id) {
    createFontsOnce();
}

void Base::Invalidate(HWND hwnd) {
    InvalidateRect(hwnd, &rect, FALSE);
}

void GroupRect::Draw(HDC hdc) {
    const Brushes brushes;
    cornerShadow(hdc, rect, 3, 2);
    RECT r = rect;
    FrameRect(hdc, &r, brushes.black);
    deflate(r, 1);
    FillRect(hdc, &r, brushes.white);
}

Label::Label(int32_t id, const RECT& rect, std::string text, int32_t align, bool bold)
    : Base(id, rect), text(std::move(text)), bold(bold), align(align) {}

void Label::Draw(HDC hdc) {
    const Brushes brushes;
    FillRect(hdc, &rect, brushes.white);
    setColours(hdc, inkColour(enabled), kWhite);
    SelectObject(hdc, bold ? BoldFont() : NormalFont());
    const UINT horizontal = align == 0 ? DT_LEFT : align == 1 ? DT_CENTER : DT_RIGHT;
    drawText(hdc, text, rect, horizontal);
}

Button::Button(int32_t id, const RECT& rect, std::string text)
    : Label(id, rect, std::move(text), 1, false) {}

void Button::Draw(HDC hdc) {
    const Brushes brushes;
    cornerShadow(hdc, rect, 2, 1);
    RECT r = rect;
    if (pressed && enabled) {
        FillRect(hdc, &r, brushes.black);
        setColours(hdc, kWhite, kBlack);
    } else {
        FrameRect(hdc, &r, brushes.ink(enabled));
        deflate(r, 1);
        FillRect(hdc, &r, brushes.white);
        setColours(hdc, inkColour(enabled), kWhite);
    }
    SelectObject(hdc, NormalFont());
    drawText(hdc, text, r, DT_CENTER);
}

void Checkbox::Draw(HDC hdc) {
    const Brushes brushes;
    // Signed division truncating toward zero; 64-bit so that no edge sum can overflow.
    const LONG boxTop = static_cast<LONG>((static_cast<int64_t>(rect.top) + rect.bottom - 14) / 2);
    RECT box{rect.left + 1, boxTop, rect.left + 15, boxTop + 14};
    const RECT caption{rect.left + 20, rect.top, rect.right, rect.bottom};
    cornerShadow(hdc, RECT{box.left - 1, box.top, box.right, box.bottom}, 3, 1);
    if (pressed && enabled) {
        FillRect(hdc, &box, brushes.black);
        deflate(box, 2);
        FillRect(hdc, &box, checked ? brushes.black : brushes.white);
    } else {
        FrameRect(hdc, &box, brushes.ink(enabled));
        deflate(box, 1);
        FrameRect(hdc, &box, brushes.white);
        deflate(box, 1);
        FillRect(hdc, &box, checked ? brushes.ink(enabled) : brushes.white);
    }
    setColours(hdc, inkColour(enabled), kWhite);
    SelectObject(hdc, BoldFont());
    drawText(hdc, text, caption, DT_LEFT);
}

void OnOffBtn::Draw(HDC hdc) {
    const Brushes brushes;
    MoveToEx(hdc, rect.right, rect.bottom - 1, nullptr); // a shadow on the right edge only
    LineTo(hdc, rect.right, rect.top + 1);
    RECT r = rect;
    const bool down = pressed && enabled;
    FrameRect(hdc, &r, down ? brushes.black : brushes.ink(enabled));
    deflate(r, 1);
    FrameRect(hdc, &r, down ? brushes.black : brushes.white);
    deflate(r, 1);
    if (checked) {
        FillRect(hdc, &r, brushes.ink(enabled));
        setColours(hdc, kWhite, inkColour(enabled));
    } else {
        FillRect(hdc, &r, brushes.white);
        setColours(hdc, inkColour(enabled), kWhite);
    }
    SelectObject(hdc, NormalFont());
    drawText(hdc, text, r, DT_CENTER);
}

} // namespace ui

// Each widget drawn into a 32-bit DIB section and read back pixel by pixel.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ui/Widgets_Win32.h"

namespace {

constexpr COLORREF kNone = RGB(0, 128, 0), B = ui::kBlack, W = ui::kWhite, G = ui::kGrey;

// A top-down DIB in a memory DC, whose pen is the default black one, filled with kNone.
struct Canvas {
    Canvas() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 96, -96, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &info, 0, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        std::fill(bits, bits + 96 * 96, 0x008000);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF at(int x, int y) const {
        GdiFlush();
        const DWORD p = bits[y * 96 + x]; // 0x00RRGGBB
        return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
    }
    // Every pixel of r deflated by n has colour c; with ring, only its outline.
    bool all(RECT r, COLORREF c, int n = 0, bool ring = false) const {
        InflateRect(&r, -n, -n);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (at(x, y) != c &&
                    (!ring || x == r.left || y == r.top || x == r.right - 1 || y == r.bottom - 1))
                    return false;
        return true;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

} // namespace

TEST(WidgetDraw, GroupRectAndButtonFramesFacesAndShadows) {
    Canvas c;
    ui::GroupRect(45, RECT{10, 10, 50, 40}).Draw(c.dc);
    EXPECT_TRUE(c.all({10, 10, 50, 40}, B, 0, true) && c.all({10, 10, 50, 40}, W, 1));
    EXPECT_TRUE(c.all({13, 40, 50, 41}, B) && c.all({50, 13, 51, 41}, B)); // shadow
    EXPECT_TRUE(c.at(12, 40) == kNone && c.at(50, 12) == kNone && c.at(51, 41) == kNone);
    for (int state = 0; state < 4; ++state) { // pressed, enabled
        Canvas c;
        ui::Button button(21, RECT{10, 10, 30, 24}, "");
        button.pressed = state & 1, button.enabled = state < 2;
        button.Draw(c.dc);
        EXPECT_TRUE(c.all({10, 10, 30, 24}, state < 2 ? B : G, 0, true)) << state;
        EXPECT_TRUE(c.all({10, 10, 30, 24}, state == 1 ? B : W, 1)) << state;
        EXPECT_TRUE(c.all({12, 24, 30, 25}, B) && c.all({30, 12, 31, 25}, B)); // shadow
        EXPECT_TRUE(c.at(11, 24) == kNone && c.at(30, 11) == kNone);
    }
}

// The box of a checkbox and an on/off button: outer frame, the ring inside it and the face.
TEST(WidgetDraw, CheckboxAndOnOffButtonStates) {
    const struct {
        bool checked, pressed, enabled;
        COLORREF outer, ring, face;
    } states[] = {{false, false, true, B, W, W}, {true, false, true, B, W, B},
                  {true, false, false, G, W, G}, {false, true, true, B, B, W},
                  {true, true, true, B, B, B},   {false, true, false, G, W, W}};
    for (const auto& s : states) {
        Canvas c, t;
        ui::Checkbox box(19, RECT{10, 10, 60, 25}, ""); // odd height: box top (10+25-14)/2 = 10
        ui::OnOffBtn tab(17, RECT{10, 10, 60, 28}, "");
        for (ui::Checkbox* w : {&box, static_cast<ui::Checkbox*>(&tab)}) {
            w->checked = s.checked, w->pressed = s.pressed, w->enabled = s.enabled;
            w->Draw(w == &box ? c.dc : t.dc);
        }
        for (const auto& [canvas, r] :
             {std::pair(&c, RECT{11, 10, 25, 24}), std::pair(&t, RECT{10, 10, 60, 28})})
            EXPECT_TRUE(canvas->all(r, s.outer, 0, true) && canvas->all(r, s.ring, 1, true) &&
                        canvas->all(r, s.face, 2))
                << s.checked << s.pressed << s.enabled << (canvas == &t);
        EXPECT_TRUE(c.all({13, 24, 25, 25}, B) && c.all({25, 12, 26, 25}, B)); // shadows
        EXPECT_TRUE(c.at(25, 11) == kNone && c.at(10, 15) == kNone && c.at(40, 12) == kNone);
        EXPECT_TRUE(t.all({60, 12, 61, 28}, B) && t.at(60, 11) == kNone && t.at(30, 28) == kNone);
    }
}

TEST(WidgetDraw, LabelAlignment) {
    for (int align : {0, 1, 2, 7, -1}) {
        Canvas c;
        ui::Label(0, RECT{4, 10, 92, 26}, "MM", align, false).Draw(c.dc);
        int first = 96, last = -1; // columns with text ink on the white face
        for (int x = 4; x < 92; ++x)
            for (int y = 10; y < 26; ++y)
                if (c.at(x, y) == B)
                    first = std::min(first, x), last = std::max(last, x);
        const bool left = first <= 6, right = last >= 89,
                   centred = std::abs(first + last - 96) <= 4;
        EXPECT_TRUE(align == 0 ? left && !right : align == 1 ? centred : right && !left) << align;
    }
}

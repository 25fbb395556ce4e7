// Each widget drawn into a 32-bit DIB section and read back pixel by pixel.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "ui/Widgets_Win32.h"

namespace {

constexpr COLORREF kUntouched = RGB(0, 128, 0);

// A top-down DIB selected into a memory DC (whose pen is the default black one), filled
// with a colour that no widget draws.
class Canvas {
public:
    Canvas() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < kSize * kSize; ++i)
            bits[i] = 0x008000; // kUntouched as 0x00RRGGBB
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF at(int x, int y) const {
        GdiFlush();
        const DWORD p = bits[y * kSize + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Whether every pixel of r (or only its outline) has colour c.
    bool all(RECT r, COLORREF c, bool outlineOnly = false) const {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const bool edge =
                    x == r.left || y == r.top || x == r.right - 1 || y == r.bottom - 1;
                if ((edge || !outlineOnly) && at(x, y) != c)
                    return false;
            }
        return true;
    }
    bool outline(RECT r, COLORREF c) const { return all(r, c, true); }
    // Columns holding text ink (anything darker than the face) inside r.
    void inkColumns(RECT r, int& first, int& last) const {
        first = INT_MAX;
        last = -1;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (GetGValue(at(x, y)) < 200) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
    }

    static constexpr int kSize = 96;
    HDC dc;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

RECT deflated(RECT r, int n) {
    InflateRect(&r, -n, -n);
    return r;
}

} // namespace

TEST(WidgetDraw, FontsAreNinePointMsUiGothicNormalAndBold) {
    LOGFONTA normal{}, bold{};
    ASSERT_TRUE(GetObjectA(ui::NormalFont(), sizeof(normal), &normal));
    ASSERT_TRUE(GetObjectA(ui::BoldFont(), sizeof(bold), &bold));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72), normal.lfHeight);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(400, normal.lfWeight);
    EXPECT_EQ(700, bold.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, normal.lfCharSet);
    EXPECT_EQ(VARIABLE_PITCH, normal.lfPitchAndFamily & 3);
    EXPECT_STREQ("MS UI Gothic", bold.lfFaceName);
}

TEST(WidgetDraw, GroupRectFrameFaceAndShadow) {
    Canvas c;
    ui::GroupRect panel(45, RECT{10, 10, 50, 40});
    panel.Draw(c.dc);
    EXPECT_TRUE(c.outline({10, 10, 50, 40}, ui::kBlack));
    EXPECT_TRUE(c.all({11, 11, 49, 39}, ui::kWhite));
    EXPECT_TRUE(c.all({13, 40, 50, 41}, ui::kBlack)); // bottom shadow from left + 3
    EXPECT_TRUE(c.all({50, 13, 51, 41}, ui::kBlack)); // right shadow up to top + 3
    EXPECT_EQ(kUntouched, c.at(12, 40));
    EXPECT_EQ(kUntouched, c.at(50, 12));
    EXPECT_EQ(kUntouched, c.at(51, 41));
}

TEST(WidgetDraw, ButtonFacesPressedAndDisabled) {
    const RECT r{10, 10, 30, 24};
    struct Case {
        bool pressed, enabled;
        COLORREF frame, face;
    } cases[] = {{false, true, ui::kBlack, ui::kWhite},
                 {true, true, ui::kBlack, ui::kBlack},
                 {false, false, ui::kGrey, ui::kWhite},
                 {true, false, ui::kGrey, ui::kWhite}};
    for (const Case& k : cases) {
        Canvas c;
        ui::Button button(21, r, "");
        button.pressed = k.pressed;
        button.enabled = k.enabled;
        button.Draw(c.dc);
        EXPECT_TRUE(c.outline(r, k.frame)) << k.pressed << k.enabled;
        EXPECT_TRUE(c.all(deflated(r, 1), k.face)) << k.pressed << k.enabled;
        EXPECT_TRUE(c.all({12, 24, 30, 25}, ui::kBlack)); // shadow, whatever the state
        EXPECT_TRUE(c.all({30, 12, 31, 25}, ui::kBlack));
        EXPECT_EQ(kUntouched, c.at(11, 24));
        EXPECT_EQ(kUntouched, c.at(30, 11));
    }
}

TEST(WidgetDraw, CheckboxBoxStatesAndOddHeight) {
    struct Case {
        bool checked, pressed, enabled;
        COLORREF frame, ring, inner;
    } cases[] = {{false, false, true, ui::kBlack, ui::kWhite, ui::kWhite},
                 {true, false, true, ui::kBlack, ui::kWhite, ui::kBlack},
                 {true, false, false, ui::kGrey, ui::kWhite, ui::kGrey},
                 {false, true, true, ui::kBlack, ui::kBlack, ui::kWhite},
                 {true, true, true, ui::kBlack, ui::kBlack, ui::kBlack}};
    for (const Case& k : cases) {
        Canvas c;
        ui::Checkbox box(19, RECT{10, 10, 60, 25}, ""); // (10 + 25 - 14) / 2 = 10
        box.checked = k.checked;
        box.pressed = k.pressed;
        box.enabled = k.enabled;
        box.Draw(c.dc);
        const RECT b{11, 10, 25, 24};
        EXPECT_TRUE(c.outline(b, k.frame)) << k.checked << k.pressed << k.enabled;
        EXPECT_TRUE(c.outline(deflated(b, 1), k.ring)) << k.checked << k.pressed << k.enabled;
        EXPECT_TRUE(c.all(deflated(b, 2), k.inner)) << k.checked << k.pressed << k.enabled;
        EXPECT_TRUE(c.all({13, 24, 25, 25}, ui::kBlack)); // shadow
        EXPECT_TRUE(c.all({25, 12, 26, 25}, ui::kBlack));
        EXPECT_EQ(kUntouched, c.at(25, 11));
        EXPECT_EQ(kUntouched, c.at(10, 15)); // left of the box
        EXPECT_EQ(kUntouched, c.at(40, 12)); // the caption area is not filled
    }
}

TEST(WidgetDraw, CheckboxBoxTopRoundsTowardZero) {
    Canvas c;
    SetViewportOrgEx(c.dc, 0, 40, nullptr);
    ui::Checkbox box(19, RECT{10, -20, 60, -5}, ""); // (-20 - 5 - 14) / 2 = -19, not -20
    box.Draw(c.dc);
    EXPECT_TRUE(c.outline({11, 21, 25, 35}, ui::kBlack));
    EXPECT_EQ(kUntouched, c.at(15, 20));
}

TEST(WidgetDraw, OnOffButtonBordersAndFaces) {
    const RECT r{10, 10, 60, 28};
    struct Case {
        bool checked, pressed, enabled;
        COLORREF outer, ring, face;
    } cases[] = {{false, false, true, ui::kBlack, ui::kWhite, ui::kWhite},
                 {true, false, true, ui::kBlack, ui::kWhite, ui::kBlack},
                 {true, false, false, ui::kGrey, ui::kWhite, ui::kGrey},
                 {false, true, true, ui::kBlack, ui::kBlack, ui::kWhite},
                 {true, true, true, ui::kBlack, ui::kBlack, ui::kBlack}};
    for (const Case& k : cases) {
        Canvas c;
        ui::OnOffBtn tab(17, r, "");
        tab.checked = k.checked;
        tab.pressed = k.pressed;
        tab.enabled = k.enabled;
        tab.Draw(c.dc);
        EXPECT_TRUE(c.outline(r, k.outer)) << k.checked << k.pressed << k.enabled;
        EXPECT_TRUE(c.outline(deflated(r, 1), k.ring)) << k.checked << k.pressed << k.enabled;
        EXPECT_TRUE(c.all(deflated(r, 2), k.face)) << k.checked << k.pressed << k.enabled;
        EXPECT_TRUE(c.all({60, 12, 61, 28}, ui::kBlack)); // shadow on the right edge only
        EXPECT_EQ(kUntouched, c.at(60, 11));
        EXPECT_EQ(kUntouched, c.at(60, 28));
        EXPECT_EQ(kUntouched, c.at(30, 28));
    }
}

TEST(WidgetDraw, LabelAlignmentAndGreyText) {
    const RECT r{4, 10, 92, 26};
    const int middle = (r.left + r.right) / 2;
    for (int align : {0, 1, 2, 7, -1}) {
        Canvas c;
        ui::Label label(0, r, "MM", align, false);
        label.Draw(c.dc);
        int first = 0, last = 0;
        c.inkColumns(r, first, last);
        ASSERT_LT(first, last) << align;
        if (align == 0)
            EXPECT_TRUE(first <= r.left + 2 && last < middle) << first << " " << last;
        else if (align == 1)
            EXPECT_LE(std::abs((first + last) / 2 - middle), 2) << first << " " << last;
        else
            EXPECT_TRUE(last >= r.right - 3 && first > middle) << align << ": " << first;
        EXPECT_EQ(ui::kWhite, c.at(r.left, r.top)); // the whole rectangle is filled
    }
    Canvas c;
    ui::Label grey(0, r, "MM", 0, true);
    grey.enabled = false;
    grey.Draw(c.dc);
    int first = 0, last = 0;
    c.inkColumns(r, first, last);
    ASSERT_LT(first, last);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            ASSERT_GE(GetGValue(c.at(x, y)), GetGValue(ui::kGrey)) << x << "," << y;
}

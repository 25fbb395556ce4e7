// The form: hit testing, lookup by id, ownership, and the mouse state machine on a real
// window (capture and drawing need one).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/Form_Win32.h"

namespace {

std::string s_log; // what the probes did, in order

// Logs its draws with its pressed look ("Pa", "Ua") and its destruction ("~a").
struct Probe : ui::Base {
    Probe(int32_t id, const RECT& r, char name) : Base(id, r), name(name) {}
    ~Probe() override { s_log += std::string("~") + name; }
    void Draw(HDC) override { s_log += std::string(pressed ? "P" : "U") + name; }
    char name;
};

} // namespace

TEST(Form, HitTestLookupOwnershipAndMouse) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 99, 99, 0, 0, 0, 0);
    Probe *a = new Probe(1, RECT{10, 10, 30, 30}, 'a'), *b = new Probe(2, {20, 20, 40, 40}, 'b');
    {
        ui::Form form;
        form.AddWidget(a);
        form.AddWidget(b);                                                       // over a
        form.AddWidget(new Probe(1, RECT{-50, -50, -40, -40}, 'c'));             // a's id again
        EXPECT_TRUE(form.HitTest({10, 10}) == a && form.HitTest({19, 29}) == a); // left, top in
        EXPECT_TRUE(form.HitTest({20, 20}) == b && form.HitTest({30, 30}) == b); // later on top
        EXPECT_TRUE(!form.HitTest({40, 39}) && !form.HitTest({9, 10})); // right edge is out
        EXPECT_TRUE(form.FindById(1) == a && form.FindById(2) == b && !form.FindById(0));
        auto mouse = [&](UINT message, int x, int y) {
            return form.HandleMouse(window, message, MAKELPARAM(x, y));
        };
        EXPECT_EQ(nullptr, mouse(WM_LBUTTONDOWN, 15, 15));
        EXPECT_EQ(window, GetCapture());
        mouse(WM_MOUSEMOVE, 16, 15);   // same widget: nothing to draw
        mouse(WM_MOUSEMOVE, 25, 25);   // onto b: a unpressed at once, b untouched
        mouse(WM_MOUSEMOVE, 150, 150); // nowhere: no change
        mouse(WM_MOUSEMOVE, 12, 12);   // back on a
        EXPECT_EQ(a, mouse(WM_LBUTTONUP, 12, 12));
        EXPECT_EQ(nullptr, mouse(WM_LBUTTONUP, 12, 12)); // no press, no click
        mouse(WM_LBUTTONDOWN, 35, 35);
        EXPECT_EQ(nullptr, mouse(WM_LBUTTONUP, 15, 15)); // released over a, no move first
        EXPECT_TRUE(!GetCapture() && !b->pressed);
        EXPECT_EQ(1, mouse(WM_LBUTTONDOWN, -45, -45) ? 0 : mouse(WM_LBUTTONUP, -45, -45)->id);
        for (UINT loss : {WM_CAPTURECHANGED, WM_CANCELMODE}) { // another window took over
            mouse(WM_LBUTTONDOWN, 35, 35);
            ReleaseCapture(), form.HandleMouse(window, loss, 0);
            EXPECT_TRUE(!b->pressed && !mouse(WM_LBUTTONUP, 35, 35)) << loss;
        }
        a->enabled = false;
        for (int at : {12, 60}) { // disabled, empty space
            EXPECT_EQ(nullptr, mouse(WM_LBUTTONDOWN, at, at));
            EXPECT_EQ(nullptr, GetCapture());
            EXPECT_TRUE(!mouse(WM_MOUSEMOVE, 25, 25) && !mouse(WM_LBUTTONUP, at, at));
        }
        form.DrawAll(nullptr);
    }
    EXPECT_EQ("PaUaPaUaPbUbPcUcPbUbPbUbUaUbUc~a~b~c", s_log);
    DestroyWindow(window);
}

// The form: hit testing, lookup by id, ownership, and the mouse state machine on a real
// window (capture and drawing need one).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Form_Win32.h"

namespace {

std::string s_log; // what the probes did, in order

// A widget that records its draws (with its pressed look) and its destruction.
class Probe : public ui::Base {
public:
    Probe(int32_t id, const RECT& r, char name) : Base(id, r), name(name) {}
    ~Probe() override { s_log += std::string("~") + name; }
    void Draw(HDC) override {
        s_log += pressed ? std::string("P") + name : std::string("U") + name;
    }
    char name;
};

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        s_log.clear();
        window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(nullptr, window);
        form.AddWidget(a = new Probe(1, RECT{10, 10, 30, 30}, 'a'));
        form.AddWidget(b = new Probe(2, RECT{20, 20, 40, 40}, 'b')); // over a
        form.AddWidget(new Probe(1, RECT{100, 100, 120, 120}, 'c')); // a's id again
    }
    void TearDown() override { DestroyWindow(window); }
    ui::Base* mouse(UINT message, int x, int y) {
        return form.HandleMouse(window, message, at(x, y));
    }

    HWND window = nullptr;
    ui::Form form;
    Probe* a = nullptr;
    Probe* b = nullptr;
};

} // namespace

TEST_F(FormTest, HitTestEdgesAndOverlap) {
    EXPECT_EQ(a, form.HitTest({10, 10})); // left and top edges are inside
    EXPECT_EQ(a, form.HitTest({19, 29}));
    EXPECT_EQ(b, form.HitTest({20, 20})); // the later widget wins where they overlap
    EXPECT_EQ(b, form.HitTest({29, 29}));
    EXPECT_EQ(b, form.HitTest({30, 30})); // a's right and bottom edges are outside it
    EXPECT_EQ(nullptr, form.HitTest({40, 39}));
    EXPECT_EQ(nullptr, form.HitTest({9, 10}));
}

TEST_F(FormTest, FindByIdReturnsTheFirstAddedAndDrawAllPaintsInOrder) {
    EXPECT_EQ(a, form.FindById(1));
    EXPECT_EQ(b, form.FindById(2));
    EXPECT_EQ(nullptr, form.FindById(0));
    form.DrawAll(nullptr);
    EXPECT_EQ("UaUbUc", s_log);
}

TEST_F(FormTest, DestructionInListOrder) {
    {
        ui::Form owner;
        owner.AddWidget(new Probe(0, RECT{}, 'x'));
        owner.AddWidget(new Probe(0, RECT{}, 'y'));
        owner.AddWidget(new Probe(0, RECT{}, 'z'));
    }
    EXPECT_EQ("~x~y~z", s_log);
}

TEST_F(FormTest, DragOffAndBackThenReleaseIsOneClick) {
    EXPECT_EQ(nullptr, mouse(WM_LBUTTONDOWN, 15, 15));
    EXPECT_EQ(window, GetCapture());
    EXPECT_EQ(nullptr, mouse(WM_MOUSEMOVE, 16, 15)); // same widget: no redraw
    EXPECT_EQ(nullptr, mouse(WM_MOUSEMOVE, 25, 25)); // onto b: a is unpressed at once
    EXPECT_FALSE(a->pressed);
    EXPECT_FALSE(b->pressed);
    EXPECT_EQ(nullptr, mouse(WM_MOUSEMOVE, 150, 150)); // nowhere: no change to draw
    EXPECT_EQ(nullptr, mouse(WM_MOUSEMOVE, 12, 12));   // back on a
    EXPECT_EQ(a, mouse(WM_LBUTTONUP, 12, 12));
    EXPECT_EQ("PaUaPaUa", s_log);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(nullptr, mouse(WM_LBUTTONUP, 12, 12)); // no press, no click
}

TEST_F(FormTest, ReleaseElsewhereIsNoClick) {
    mouse(WM_LBUTTONDOWN, 35, 35);
    EXPECT_TRUE(b->pressed);
    EXPECT_EQ(nullptr, mouse(WM_LBUTTONUP, 15, 15)); // released over a
    EXPECT_FALSE(b->pressed);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ("PbUb", s_log);
}

TEST_F(FormTest, PressOnDisabledOrEmptySpaceStartsNothing) {
    a->enabled = false;
    EXPECT_EQ(nullptr, mouse(WM_LBUTTONDOWN, 12, 12));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_FALSE(a->pressed);
    EXPECT_EQ(nullptr, mouse(WM_MOUSEMOVE, 25, 25));
    EXPECT_EQ(nullptr, mouse(WM_LBUTTONUP, 12, 12));
    mouse(WM_LBUTTONDOWN, 60, 60);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(nullptr, mouse(WM_LBUTTONUP, 60, 60));
    EXPECT_EQ("", s_log);
}

TEST_F(FormTest, CoordinatesAreSigned16BitValues) {
    form.AddWidget(new Probe(3, RECT{-50, -50, -40, -40}, 'n'));
    mouse(WM_LBUTTONDOWN, -45, -45);
    EXPECT_EQ("Pn", s_log);
    EXPECT_EQ(3, form.HandleMouse(window, WM_LBUTTONUP, at(-45, -45))->id);
}

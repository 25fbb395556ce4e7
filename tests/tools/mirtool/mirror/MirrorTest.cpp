// mirtool mirror's platform-free parts: its command line and plan, the capture logic over
// damage reports or comparison, and the loop's timing against a simulated clock.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/core/Globals.h"
#include "app/settings/SettingsFile.h"
#include "tools/mirtool/mirror/MirrorLoop.h"
#include "tools/mirtool/mirror/MirrorSetup.h"

namespace {

using mirtool::CaptureFrame;
using mirtool::CaptureRequest;

// A screen of one grey level; records what the capture asked of it.
class FakeScreen : public mirtool::ScreenSource {
public:
    CaptureSize ScreenSize() override { return {640, 480}; }
    bool ChangesPending() override { return !tracks || !damage.empty() || FrameForgotten(); }
    bool TracksDamage() const override { return tracks; }
    bool TakeDamage(std::vector<RECT>& rects) override {
        rects.insert(rects.end(), damage.begin(), damage.end());
        damage.clear();
        return true;
    }
    bool Fetch(const RECT& area, PixelImage& pixels) override {
        fetched.push_back(area);
        image.assign(size_t(area.right - area.left) * (area.bottom - area.top) * 4, grey);
        pixels = PixelImage{image.data(), (area.right - area.left) * 4};
        return true;
    }
    std::vector<uint8_t> image;
    bool tracks = true;
    uint8_t grey = 200;
    std::vector<RECT> damage;
    std::vector<RECT> fetched;
};

class FakePort : public mirtool::PanelPort {
public:
    Status GetStatus() override { return status; }
    int32_t Send(const std::vector<uint8_t>& block) override {
        sizes.push_back(block.size());
        status.bytesSent += block.size();
        return 0;
    }
    Status status{true, 1, 0};
    std::vector<size_t> sizes;
};

std::vector<RECT> Listed(comsrc::RectList& list) {
    std::vector<RECT> out;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        out.push_back(*list.GetAt(i));
    return out;
}

std::string Text(const std::vector<RECT>& rects) {
    std::string s;
    for (const RECT& r : rects)
        s += std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
             "," + std::to_string(r.bottom) + " ";
    return s;
}

TEST(MirrorCapture, FetchesWhatWasReportedOrWhatDiffers) {
    const RECT area{16, 8, 144, 72};
    const CaptureRequest request{{384, 256}, area, false};
    struct Step {
        bool tracks;
        std::vector<RECT> damage;
        uint8_t grey;
        const char* fetched;
        const char* dirty;
    };
    const Step steps[] = {
        {true, {}, 200, "16,8,144,72 ", "16,0,144,80 "}, // the first: whole
        {true, {{0, 0, 20, 10}, {300, 0, 310, 5}}, 200, "16,8,20,10 ", "16,0,32,16 "}, // clipped
        {true, {}, 90, "", ""},                                       // nothing reported
        {false, {}, 90, "16,8,144,72 ", "16,0,144,80 "},              // a new source: whole
        {false, {}, 90, "16,8,144,72 ", ""},                          // compared: the same
        {false, {}, 10, "16,8,144,72 ", "16,0,144,48 16,48,144,80 "}, // runs of changed cells
    };
    auto screen = std::make_unique<FakeScreen>();
    comsrc::RectList dirty(256, 16);
    for (const Step& step : steps) {
        if (step.tracks != screen->tracks)
            screen = std::make_unique<FakeScreen>();
        screen->tracks = step.tracks;
        screen->damage = step.damage;
        screen->grey = step.grey;
        ASSERT_EQ(screen->Capture(request, dirty), 0);
        EXPECT_EQ(Text(screen->fetched), step.fetched);
        EXPECT_EQ(Text(Listed(dirty)), step.dirty);
        screen->fetched.clear();
        dirty.RemoveAll();
    }
    EXPECT_EQ(screen->Frame().View().row0[(10 * 384 + 20) * 4], 10); // the latest capture
}

// The loop against a simulated clock, with drawing and ports coming and going at random:
// the timing rules hold, every drawing reaches an open port, each (re)opening and every 4 s
// brings a whole picture, and a turn with nothing to do asks to wait.
TEST(MirrorLoopTiming, KeepsMirpanelsPaceWithoutSpinning) {
    resetGlobalState();
    g_monitors[0].active = 1;
    g_monitors[0].dither = 0;
    FakeScreen screen;
    FakePort port;
    mirtool::MirrorLoop loop(g_monitors, {&port, nullptr, nullptr, nullptr}, screen, nullptr);
    std::mt19937 random(22);
    const uint64_t ms = 1000000;
    uint64_t now = 5000 * ms + 3;
    int64_t lastCapture = -1, lastFrameTick = -1, drawnAt = -1, openedAt = -1, lastWhole = -1;
    uint32_t captures = 0;
    size_t sent = 0;
    for (int turn = 0; turn < 4000; ++turn) {
        const int64_t t = int64_t(now / ms);
        openedAt = openedAt == -2 ? t : openedAt; // an opening or drawing wakes this turn
        drawnAt = drawnAt == -2 ? t : drawnAt;
        const int64_t wait = loop.Turn(now);
        ASSERT_GE(wait, 0);
        if (loop.Captures() != captures) {
            EXPECT_TRUE(lastCapture < 0 || t - lastCapture >= 40) << t;
            lastCapture = t;
            captures = loop.Captures();
        }
        for (; sent < port.sizes.size(); ++sent) {
            EXPECT_TRUE(lastFrameTick < 0 || t / 10 - lastFrameTick >= 3) << t;
            lastFrameTick = t / 10;
            drawnAt = -1;
            openedAt = port.sizes[sent] == 1088 ? -1 : openedAt;
            lastWhole = port.sizes[sent] == 1088 ? t : lastWhole;
        }
        EXPECT_TRUE(openedAt < 0 || t - openedAt <= 50) << "no whole picture after opening";
        EXPECT_TRUE(drawnAt < 0 || !port.status.open || t - drawnAt <= 50) << t;
        EXPECT_TRUE(lastWhole < 0 || !port.status.open || t - lastWhole <= 4100) << t;
        const int64_t again = loop.Turn(now); // nothing new: nothing done, a wait asked for
        EXPECT_EQ(loop.Captures(), captures);
        EXPECT_EQ(port.sizes.size(), sent);
        EXPECT_TRUE(again > 0 || (port.status.open && drawnAt >= 0)) << t;
        const int event = int(random() % 400);
        if (event < 20 && drawnAt < 0) {
            const LONG x = LONG(random() % 100), y = LONG(random() % 40);
            screen.damage.push_back(RECT{x, y, x + 20, y + 20});
            drawnAt = -2;
        } else if (event == 20 || (!port.status.open && event < 60)) { // out for a moment
            port.status.open = !port.status.open;
            port.status.generation += port.status.open ? 1 : 0;
            openedAt = port.status.open ? -2 : -1;
            lastWhole = -1;
        }
        now += uint64_t(std::min<int64_t>(wait, random() % 60)) * ms + random() % ms;
    }
    EXPECT_GT(captures, 100u);
}

struct PlanCase {
    std::vector<std::string> args;
    const char* file; // settings lines, or null without a file
    bool ok;
    const char* ports; // "display:device:speed:cts " each
    int32_t dither0;
    const char* error;
};

TEST(MirrorSetup, ArgumentsAndSettingsDecideWhatIsDriven) {
    const PlanCase cases[] = {
        {{"--port", "/dev/ttyUSB0", "--dither", "0", "--speed", "76800"},
         nullptr,
         true,
         "0:/dev/ttyUSB0:76800:0 ",
         0,
         ""},
        {{"--seconds", "3", "--verbose"},
         "MO.1.ACTIVE=1\nMO.1.DEVICE = /dev/ttyACM1\nMO.1.CTS=1\n"
         "MO.0.ACTIVE=1\n",
         true,
         "1:/dev/ttyACM1:500000:1 ",
         1,
         ""},
        {{"--port", "/dev/x", "--dither", "2"},
         "MO.0.DEVICE=/dev/y\nMO.0.SPEED=9600\n",
         true,
         "0:/dev/x:9600:0 ",
         2,
         ""},
        {{}, "MO.0.ACTIVE=1\n", false, "", 1, "no active display with a device"},
        {{"--port"}, nullptr, false, "", 1, "--port needs a value"},
        {{"--seconds", "0"}, nullptr, false, "", 1, "bad value for --seconds"},
        {{"--speed", "-5"}, nullptr, false, "", 1, "bad value for --speed"},
        {{"--dither", "x"}, nullptr, false, "", 1, "bad value for --dither"},
        {{"image.png"}, nullptr, false, "", 1, "unknown argument image.png"},
    };
    for (const PlanCase& c : cases) {
        std::vector<char*> argv;
        for (const std::string& a : c.args)
            argv.push_back(const_cast<char*>(a.c_str()));
        mirtool::MirrorArgs args;
        std::string error;
        std::vector<MonitorRecord> records(4);
        KeyTable table;
        std::vector<mirtool::MirrorPort> ports;
        std::vector<std::string> notes;
        bool ok = mirtool::ParseMirrorArgs(int(argv.size()), argv.data(), args, error);
        if (ok && c.file) {
            std::string lines = c.file;
            for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos;
                 at = end + 1)
                table.Put(lines.substr(at, end - at).c_str());
            int32_t mode = 0;
            takeProgramKeys(table, records, mode);
        }
        ok = ok && mirtool::PlanDisplays(int(argv.size()), argv.data(), args,
                                         c.file ? &table : nullptr, records, ports, notes, error);
        std::string listed;
        for (const auto& p : ports)
            listed += std::to_string(p.display) + ":" + p.device + ":" + std::to_string(p.speed) +
                      ":" + (p.cts ? "1" : "0") + " ";
        EXPECT_EQ(ok, c.ok) << c.args.size() << " " << error;
        EXPECT_EQ(listed, c.ports);
        EXPECT_EQ(records[0].dither, c.dither0);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    EXPECT_EQ(mirtool::DefaultConfigPath("/x", "/home/u"), "/x/mirvane/mirvista.ini");
    EXPECT_EQ(mirtool::DefaultConfigPath("rel", "/home/u"), "/home/u/.config/mirvane/mirvista.ini");
    EXPECT_EQ(mirtool::DefaultConfigPath(nullptr, nullptr), "");
}

} // namespace

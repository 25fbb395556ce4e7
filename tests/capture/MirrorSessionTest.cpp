// The mirror driver conversation over a scripted driver: the change-record walk's bounds,
// the pair-widening copy, mapping renewal by the clock, peek failures and identify.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/capture/ChangeRecords.h"
#include "app/capture/MirrorSession.h"
#include "app/capture/PairCopy.h"
#include "driver/MirvaneEscape.h"

namespace {

struct Recorder : ChangeRecordHandler {
    std::vector<uint32_t> types;
    size_t rects = 0;
    void OnRecord(uint32_t type, const uint8_t* payload, size_t size) override {
        types.push_back(type);
        rects += type == MIRVANE_RECORD_RECT ? payloadRectCount(payload, size) : 0;
    }
};

// Appends words; a rectangle record when given rectCount and the rectangles present.
void put(std::vector<uint8_t>& b, std::vector<uint32_t> words) {
    b.insert(b.end(), reinterpret_cast<uint8_t*>(words.data()),
             reinterpret_cast<uint8_t*>(words.data() + words.size()));
}
void rectRecord(std::vector<uint8_t>& b, uint32_t rectCount, uint32_t rects) {
    put(b, {28 + 16 * rects, 16, MIRVANE_RECORD_RECT, 0, 28, 0, rectCount});
    put(b, std::vector<uint32_t>(4 * rects, 1));
}

TEST(ChangeRecords, WalkStaysInsideTheRecordsAndTheBuffer) {
    std::vector<uint8_t> b;
    rectRecord(b, 1, 1);
    rectRecord(b, 9, 2);        // rectCount beyond its record: 2 read
    put(b, {20, 16, 16, 0, 7}); // type 16, handed over
    put(b, {16, 17, 99, 0});    // headerSize beyond the record: stepped over
    rectRecord(b, 1, 1);
    Recorder all, two, cut;
    EXPECT_EQ(walkChangeRecords(b.data(), b.size(), 99, all), 4u);
    EXPECT_EQ(all.types, (std::vector<uint32_t>{127, 127, 16, 127}));
    EXPECT_EQ(all.rects, 4u);
    EXPECT_EQ(walkChangeRecords(b.data(), b.size(), 2, two), 2u);      // the escape's count
    EXPECT_EQ(walkChangeRecords(b.data(), b.size() - 1, 99, cut), 3u); // past the bytes
    for (uint32_t size : {0u, 8u, 15u}) { // zero, and smaller than a header
        std::vector<uint8_t> c;
        rectRecord(c, 1, 1);
        put(c, {size, 16, 127, 0});
        rectRecord(c, 1, 1);
        Recorder r;
        EXPECT_EQ(walkChangeRecords(c.data(), c.size(), 99, r), 1u) << size;
    }
}

TEST(PairCopy, WidensToPairsButNeverPastTheRow) {
    std::mt19937 random(7);
    for (int32_t width = 1; width <= 9; ++width) {
        const int32_t height = 3, pitch = width * 4;
        std::vector<uint8_t> source(size_t(pitch) * height);
        for (auto& byte : source)
            byte = uint8_t(random() | 1);
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<uint8_t> dest(source.size(), 0); // exact size: ASan sees overruns
            const bool up = trial & 1; // bottom-up storage, walked with a negative stride
            uint8_t* row0 = dest.data() + (up ? (height - 1) * pitch : 0);
            const RECT r{LONG(random() % 12) - 2, LONG(random() % 5) - 1, LONG(random() % 12) - 2,
                         LONG(random() % 5) - 1};
            copyPixelPairs(source.data(), width, height, row0, up ? -pitch : pitch, r);
            const int32_t L = std::max(r.left, 0), R = std::min(r.right, width);
            const int32_t T = std::max(r.top, 0), B = std::min(r.bottom, height);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    const bool in =
                        L < R && y >= T && y < B && x >= (L & ~1) && (x < R || (x == R && (R & 1)));
                    const uint8_t* got = row0 + y * (up ? -pitch : pitch) + x * 4;
                    ASSERT_EQ(std::memcmp(got, &source[size_t(y * pitch + x * 4)], 4) == 0, in)
                        << width << ": " << x << "," << y;
                }
        }
    }
}

// A scripted driver: records every escape and answers from its fields.
struct ScriptedDriver : MirrorPlatform {
    std::vector<uint32_t> calls;
    int64_t now = 1000;
    int32_t peekResult = 0, reopens = 0, mapResult = 4;
    uint32_t answer = 0x01400000; // the peek's size, the map's address
    bool readable = true;

    int32_t Escape(uint32_t code, int32_t, const void*, int32_t outSize, void* out) override {
        calls.push_back(code);
        if (code == USBED_ESC_IDENTIFY)
            std::memcpy(out, "OTHER!!", 8);
        else if (outSize == 4)
            std::memcpy(out, &answer, 4);
        return code == USBED_ESC_PEEK_CHANGE ? peekResult
               : code == USBED_ESC_MAP       ? mapResult
               : code == USBED_ESC_IDENTIFY  ? 8
                                             : 0;
    }
    void Reopen() override { ++reopens; }
    int64_t Now() override { return now; }
    uint32_t Process() override { return 0xFFFFFFFF; }
    bool Readable(uint32_t, uint64_t) override { return readable; }
    size_t Count(uint32_t code) { return size_t(std::count(calls.begin(), calls.end(), code)); }
};

TEST(MirrorSession, MappingRenewedBetweenTenAndTwelveSecondsAndRemadeWhenLost) {
    ScriptedDriver driver;
    MirrorSession session(driver, 640 * 480 * 4);
    EXPECT_EQ(session.KeepMapping(), 4);
    EXPECT_EQ(session.MappedFrameBuffer(), 0x01400000u);
    for (int64_t now : {995, 1000, 1009, 1010, 1022}) { // a clock set back counts as fresh
        driver.now = now;
        EXPECT_EQ(session.KeepMapping(), 0);
        EXPECT_EQ(driver.Count(USBED_ESC_KEEP_MAP), now < 1010 ? 0u : now == 1010 ? 1u : 2u);
    }
    driver.now = 1035; // 13 s after the last keep-alive: lost and unmapped, mapped afresh next
    EXPECT_EQ(session.KeepMapping(), MirrorSession::kMappingLost);
    EXPECT_EQ(driver.calls.back(), USBED_ESC_UNMAP);
    EXPECT_EQ(session.KeepMapping(), 4);
    driver.readable = false; // gone behind the session's back
    EXPECT_EQ(session.ReadableMapping(), 0u);
    EXPECT_EQ(driver.Count(USBED_ESC_UNMAP), 2u);
    driver.mapResult = 0;
    EXPECT_EQ(session.KeepMapping(), -1);
}

// Every new mapping, and only a new one, asks for the display to be copied whole; the session
// undoes its last mapping when it ends.
TEST(MirrorSession, UsableFrameBufferIsFreshOnEveryNewMapping) {
    ScriptedDriver driver;
    {
        MirrorSession session(driver, 16);
        const struct {
            int64_t advance;
            bool readable;
            uint32_t frame;
            bool fresh;
        } steps[] = {{0, true, 0x01400000, true},
                     {5, true, 0x01400000, false},
                     {13, true, 0x01400000, true},
                     {0, false, 0, false}, // lost behind its back
                     {0, true, 0x01400000, true}};
        for (const auto& step : steps) {
            driver.now += step.advance;
            driver.readable = step.readable;
            bool fresh = !step.fresh;
            EXPECT_EQ(session.UsableFrameBuffer(fresh), step.frame);
            EXPECT_EQ(fresh, step.fresh);
        }
    }
    EXPECT_EQ(driver.Count(USBED_ESC_MAP), 3u);
    EXPECT_EQ(driver.Count(USBED_ESC_UNMAP), 3u);
}

TEST(MirrorSession, FailedPeeksIdentifyAndAHostilePeek) {
    ScriptedDriver driver;
    MirrorSession session(driver, 16);
    Recorder handler;
    driver.peekResult = -1;
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(session.DrainChanges(handler), 0);
    EXPECT_EQ(driver.reopens, 0);
    for (int i = 0; i < 257; ++i) // the first reopens once, and the count starts again
        session.DrainChanges(handler);
    EXPECT_EQ(driver.reopens, 1);
    driver.peekResult = 0;
    driver.answer = 0xFFFFFFF0; // a size not believed: the buffer stays bounded
    EXPECT_EQ(session.DrainChanges(handler), 1);
    char id[4] = {};
    EXPECT_EQ(session.Identify(id, sizeof id), -2); // not a Mirvane driver
    EXPECT_EQ(std::string(id, 4), "OTHE");
}

} // namespace

// The mirror driver conversation over a scripted driver: the change-record walk's bounds,
// the pair-widening copy, mapping renewal by the clock, peek failures and identify.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/core/ChangeRecords.h"
#include "app/core/MirrorSession.h"
#include "app/core/PairCopy.h"
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
    std::vector<std::string> identities; // answered in turn; "" answers nothing
    int64_t now = 1000;
    int32_t peekResult = 0, reopens = 0, mapResult = 4;
    uint32_t oldestSize = 0;
    bool readable = true;

    int32_t Escape(uint32_t code, int32_t, const void*, int32_t, void* out) override {
        calls.push_back(code);
        const uint32_t address = 0x01400000;
        if (code == USBED_ESC_PEEK_CHANGE)
            std::memcpy(out, &oldestSize, 4);
        if (code == USBED_ESC_MAP)
            std::memcpy(out, &address, 4);
        if (code == USBED_ESC_IDENTIFY && !identities.empty()) {
            const std::string id = identities.front();
            identities.erase(identities.begin());
            std::memcpy(out, id.data(), id.size());
            return int32_t(id.size());
        }
        return code == USBED_ESC_PEEK_CHANGE ? peekResult : code == USBED_ESC_MAP ? mapResult : 0;
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
    for (int64_t age : {-5, 0, 9}) { // a clock set back counts as fresh
        driver.now = 1000 + age;
        EXPECT_EQ(session.KeepMapping(), 0);
    }
    EXPECT_EQ(driver.calls, std::vector<uint32_t>{USBED_ESC_MAP});
    for (int64_t now : {1010, 1022}) { // the second 12 s after the first keep-alive
        driver.now = now;
        EXPECT_EQ(session.KeepMapping(), 0);
    }
    EXPECT_EQ(driver.Count(USBED_ESC_KEEP_MAP), 2u);
    driver.now = 1035; // 13 s: lost and unmapped, mapped afresh at the next call
    EXPECT_EQ(session.KeepMapping(), MirrorSession::kMappingLost);
    EXPECT_EQ(driver.calls.back(), USBED_ESC_UNMAP);
    EXPECT_EQ(session.KeepMapping(), 4);
    driver.readable = false; // gone behind the session's back
    EXPECT_EQ(session.ReadableMapping(), 0u);
    EXPECT_EQ(driver.Count(USBED_ESC_UNMAP), 2u);
    driver.mapResult = 0;
    EXPECT_EQ(session.KeepMapping(), -1);
}

TEST(MirrorSession, PeeksFlushAndIdentify) {
    ScriptedDriver driver;
    MirrorSession session(driver, 16);
    Recorder handler;
    session.FlushOnce();
    session.FlushOnce();
    EXPECT_EQ(driver.Count(USBED_ESC_FLUSH_CHANGES), 1u);
    driver.peekResult = -1;
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(session.DrainChanges(handler), 0);
    EXPECT_EQ(driver.reopens, 0);
    session.DrainChanges(handler); // the 257th reopens once and counts again
    for (int i = 0; i < 256; ++i)
        session.DrainChanges(handler);
    EXPECT_EQ(driver.reopens, 1);
    driver.peekResult = 0;
    driver.oldestSize = 0xFFFFFFF0; // not believed: the buffer stays bounded
    EXPECT_EQ(session.DrainChanges(handler), 1);

    char answer[4] = {};
    driver.identities = {"", "USBED!!"};
    EXPECT_EQ(session.Identify(answer, sizeof answer), 0);
    EXPECT_EQ(std::string(answer, 4), "USBE");
    EXPECT_EQ(driver.reopens, 2);
    driver.identities = {"OTHER!!"};
    EXPECT_EQ(session.Identify(nullptr, 0), -2);
    driver.identities = {"", std::string(33, 'U')}; // nothing, then too much
    EXPECT_EQ(session.Identify(nullptr, 0), -1);
}

} // namespace

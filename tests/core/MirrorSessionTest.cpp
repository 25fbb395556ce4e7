// The mirror driver conversation over a scripted driver: change-record walk bounds, the
// pair-widening copy, mapping renewal by the clock, peek failures and identify's retry.
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
    std::vector<RECT> rects;
    void OnRecord(uint32_t type, const uint8_t* payload, size_t size) override {
        types.push_back(type);
        for (size_t i = 0; type == MIRVANE_RECORD_RECT && i < payloadRectCount(payload, size); ++i)
            rects.push_back(payloadRect(payload, i));
    }
};

void put(std::vector<uint8_t>& b, std::vector<uint32_t> words) {
    for (uint32_t w : words)
        b.insert(b.end(), reinterpret_cast<uint8_t*>(&w), reinterpret_cast<uint8_t*>(&w) + 4);
}

// A rectangle record: rectCount as stated, `rects` rectangles actually present.
void rectRecord(std::vector<uint8_t>& b, uint32_t rectCount, uint32_t rects, uint32_t header = 16) {
    put(b, {16 + 12 + 16 * rects, header, MIRVANE_RECORD_RECT, 0, 28, 0, rectCount});
    for (uint32_t i = 0; i < rects; ++i)
        put(b, {i, 1, i + 2, 3});
}

TEST(ChangeRecords, WalkStaysInsideTheRecordsAndTheBuffer) {
    std::vector<uint8_t> b;
    rectRecord(b, 1, 1);
    rectRecord(b, 9, 2);        // rectCount beyond its record: 2 read
    put(b, {20, 16, 16, 0, 7}); // type 16, handed over
    put(b, {16, 17, 99, 0});    // headerSize beyond the record: stepped over
    rectRecord(b, 1, 1);
    Recorder all;
    EXPECT_EQ(walkChangeRecords(b.data(), b.size(), 99, all), 4u);
    EXPECT_EQ(all.types, (std::vector<uint32_t>{127, 127, 16, 127}));
    ASSERT_EQ(all.rects.size(), 4u);
    EXPECT_EQ(all.rects[2].right, 3);
    Recorder two; // the escape's count ends the walk (the skipped record counts)
    EXPECT_EQ(walkChangeRecords(b.data(), b.size(), 2, two), 2u);
    Recorder cut; // the last record reaches past the bytes delivered
    EXPECT_EQ(walkChangeRecords(b.data(), b.size() - 1, 99, cut), 3u);
    for (uint32_t size : {0u, 8u, 15u}) { // zero, and too small for a header
        std::vector<uint8_t> c;
        rectRecord(c, 1, 1);
        put(c, {size, 16, 127, 0});
        rectRecord(c, 1, 1);
        Recorder r;
        EXPECT_EQ(walkChangeRecords(c.data(), c.size(), 99, r), 1u) << size;
    }
    EXPECT_EQ(payloadRectCount(b.data() + 16, 11), 0u);
}

TEST(PairCopy, WidensToPairsButNeverPastTheRow) {
    std::mt19937 random(7);
    for (int32_t width = 1; width <= 9; ++width) {
        const int32_t height = 3;
        std::vector<uint8_t> source(size_t(width) * height * 4);
        for (auto& byte : source)
            byte = uint8_t(random());
        for (int trial = 0; trial < 40; ++trial) {
            const bool bottomUp = trial & 1;
            std::vector<uint8_t> dest(source.size(), 0xEE); // exact size: ASan sees overruns
            uint8_t* row0 = dest.data() + (bottomUp ? (height - 1) * width * 4 : 0);
            const int32_t stride = bottomUp ? -width * 4 : width * 4;
            const RECT r{int32_t(random() % 12) - 2, int32_t(random() % 5) - 1,
                         int32_t(random() % 12) - 2, int32_t(random() % 5) - 1};
            copyPixelPairs(source.data(), width, height, row0, stride, r);
            const RECT w = widenToPixelPairs(r, width, height);
            const int32_t L = std::max(r.left, 0), R = std::min(r.right, width);
            const int32_t T = std::max(r.top, 0), B = std::min(r.bottom, height);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    const bool in = x >= w.left && x < w.right && y >= w.top && y < w.bottom;
                    const bool model = L < R && T < B && y >= T && y < B && x >= (L & ~1) &&
                                       (x < R || (x == R && (R & 1)));
                    ASSERT_EQ(in, model) << width << " " << x << "," << y;
                    const uint8_t* got = row0 + y * stride + x * 4;
                    const uint8_t* want = source.data() + (y * width + x) * 4;
                    if (in)
                        ASSERT_EQ(std::memcmp(got, want, 4), 0) << width << " " << x << "," << y;
                    else
                        ASSERT_EQ(got[0], 0xEE);
                }
        }
    }
}

// A scripted driver: records every escape, answers from its fields.
struct ScriptedDriver : MirrorPlatform {
    std::vector<uint32_t> calls;
    int64_t now = 1000;
    int32_t peekResult = 0, reopens = 0, mapResult = 4;
    uint32_t oldestSize = 0;
    std::vector<uint8_t> records;
    int32_t recordCount = 0;
    std::vector<std::string> identities; // answered in turn; empty strings answer nothing
    bool readable = true;

    int32_t Escape(uint32_t code, int32_t, const void*, int32_t outSize, void* out) override {
        calls.push_back(code);
        switch (code) {
        case USBED_ESC_PEEK_CHANGE:
            std::memcpy(out, &oldestSize, 4);
            return peekResult;
        case USBED_ESC_GET_CHANGES:
            std::memcpy(out, records.data(), std::min(records.size(), size_t(outSize)));
            return recordCount;
        case USBED_ESC_MAP:
            std::memcpy(out, "\0\0\x40\x01", 4); // 0x01400000
            return mapResult;
        case USBED_ESC_IDENTIFY: {
            const std::string id = identities.empty() ? "" : identities.front();
            if (!identities.empty())
                identities.erase(identities.begin());
            std::memcpy(out, id.data(), id.size());
            return int32_t(id.size());
        }
        }
        return 0;
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
    driver.now = 1010;
    EXPECT_EQ(session.KeepMapping(), 0);
    driver.now = 1022; // 12 s after that keep-alive
    EXPECT_EQ(session.KeepMapping(), 0);
    EXPECT_EQ(driver.Count(USBED_ESC_KEEP_MAP), 2u);
    driver.now = 1035; // 13 s: lost, unmapped, and mapped afresh at the next call
    EXPECT_EQ(session.KeepMapping(), MirrorSession::kMappingLost);
    EXPECT_EQ(session.MappedFrameBuffer(), 0u);
    EXPECT_EQ(driver.calls.back(), USBED_ESC_UNMAP);
    EXPECT_EQ(session.KeepMapping(), 4);
    driver.readable = false; // the miniport dropped it behind the session's back
    EXPECT_EQ(session.ReadableMapping(), 0u);
    EXPECT_EQ(driver.Count(USBED_ESC_UNMAP), 2u);
    driver.mapResult = 0;
    EXPECT_EQ(session.KeepMapping(), -1);
}

TEST(MirrorSession, FailedPeeksReopenOnceAfter256AndCountAgain) {
    ScriptedDriver driver;
    MirrorSession session(driver, 16);
    Recorder handler;
    driver.peekResult = -1;
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(session.DrainChanges(handler), 0);
    EXPECT_EQ(driver.reopens, 0);
    session.DrainChanges(handler);
    EXPECT_EQ(driver.reopens, 1);
    EXPECT_EQ(session.FailedPeeks(), 0);
    for (int i = 0; i < 256; ++i)
        session.DrainChanges(handler);
    EXPECT_EQ(driver.reopens, 1);
    EXPECT_EQ(driver.Count(USBED_ESC_GET_CHANGES), 0u);
}

TEST(MirrorSession, FlushOnceThenDrainWhatThePeekAnnounces) {
    ScriptedDriver driver;
    MirrorSession session(driver, 16);
    Recorder handler;
    session.FlushOnce();
    session.FlushOnce();
    EXPECT_EQ(driver.Count(USBED_ESC_FLUSH_CHANGES), 1u);
    EXPECT_EQ(session.DrainChanges(handler), 0); // empty queue: no fetch
    EXPECT_EQ(driver.Count(USBED_ESC_GET_CHANGES), 0u);
    rectRecord(driver.records, 1, 1);
    rectRecord(driver.records, 1, 1);
    driver.oldestSize = 0xFFFFFFF0; // not believed: the buffer stays bounded
    driver.recordCount = 1;
    EXPECT_EQ(session.DrainChanges(handler), 1);
    EXPECT_EQ(handler.rects.size(), 1u);
}

TEST(MirrorSession, IdentifyRetriesOnceOnANewDeviceContext) {
    ScriptedDriver driver;
    MirrorSession session(driver, 16);
    char answer[4] = {};
    driver.identities = {"", "USBED!!"};
    EXPECT_EQ(session.Identify(answer, sizeof answer), 0);
    EXPECT_EQ(std::string(answer, 4), "USBE");
    EXPECT_EQ(driver.reopens, 1);
    driver.identities = {"OTHER!!"};
    EXPECT_EQ(session.Identify(nullptr, 0), -2);
    driver.identities = {"", std::string(33, 'U')}; // nothing, then too much
    EXPECT_EQ(session.Identify(nullptr, 0), -1);
    EXPECT_EQ(driver.reopens, 2);
}

} // namespace

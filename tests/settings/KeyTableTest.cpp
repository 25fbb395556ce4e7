#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/settings/KeyTable.h"

namespace {

std::string entryText(const KeyTable& table, int32_t index) {
    return std::string(table.KeyAt(index)) + "=" + table.ValueAt(index);
}

} // namespace

TEST(KeyTable, KeyEndsAtBlankOrFirstEqualsValueRunsToEnd) {
    KeyTable table;
    EXPECT_EQ(table.Put("G.MODE = 1"), 0);
    EXPECT_EQ(table.Put("a.b=x = y  z"), 0);
    EXPECT_EQ(table.Put("K\t=\t\r v"), 0);
    EXPECT_EQ(table.Put("TWO WORDS=7"), 0);
    ASSERT_EQ(table.Count(), 4);
    EXPECT_EQ(entryText(table, 0), "G.MODE=1");
    EXPECT_EQ(entryText(table, 1), "A.B=x = y  z");
    EXPECT_EQ(entryText(table, 2), "K=v");
    EXPECT_EQ(entryText(table, 3), "TWO=7");
}

TEST(KeyTable, KeysAreUpperCasedAsciiOnlyAndComparedExactly) {
    KeyTable table;
    table.Put("mo.1.port = 7");
    table.Put("\xe9t\xe9=1"); // bytes above 0x7f stay as they are
    EXPECT_STREQ(table.Find("MO.1.PORT"), "7");
    EXPECT_EQ(table.Find("mo.1.port"), nullptr);
    EXPECT_STREQ(table.KeyAt(1), "\xe9T\xe9");
}

TEST(KeyTable, LinesWithoutValueAreRefused) {
    KeyTable table;
    EXPECT_EQ(table.Put("MO.0.PORT="), KeyTable::kNoValue);
    EXPECT_EQ(table.Put("MO.0.PORT = \t "), KeyTable::kNoValue);
    EXPECT_EQ(table.Put("NOEQUALS 5"), KeyTable::kNoValue);
    EXPECT_EQ(table.Count(), 0);
}

TEST(KeyTable, EmptyKeyIsAnEntryLikeAnyOther) {
    KeyTable table;
    EXPECT_EQ(table.Put("=5"), 0);
    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(entryText(table, 0), "=5");
    EXPECT_STREQ(table.Find(""), "5");
}

TEST(KeyTable, ReplacingKeepsThePlaceAndAppendingKeepsOrder) {
    KeyTable table;
    table.Put("A=1");
    table.Put("B=2");
    table.Put("C=3");
    table.Put("b = two");
    ASSERT_EQ(table.Count(), 3);
    EXPECT_EQ(entryText(table, 0), "A=1");
    EXPECT_EQ(entryText(table, 1), "B=two");
    EXPECT_EQ(entryText(table, 2), "C=3");
}

// Short entries live in the table and long ones on the heap: replacing either by the
// other, through Put or PutValue, must keep the latest text.
TEST(KeyTable, PutValueStoresLikePutInlineOrOnTheHeap) {
    KeyTable table;
    const std::string longValue(300, 'v');
    table.PutValue("A", "1");
    table.Put(("a = " + longValue).c_str());
    table.PutValue("B", longValue.c_str());
    table.Put("b=2");
    EXPECT_EQ(table.PutValue("C", ""), KeyTable::kNoValue);
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(entryText(table, 0), "A=" + longValue);
    EXPECT_EQ(entryText(table, 1), "B=2");
    table.PutValue("A", "3");
    EXPECT_STREQ(table.Find("A"), "3");
}

// A value put again may come from the table itself, and a long entry's block is reused
// for the next long value that fits and replaced by a larger one.
TEST(KeyTable, ValuesFromTheTableItselfAndReusedBlocks) {
    KeyTable table;
    const std::string longer(500, 'w');
    for (const std::string& value : {std::string("short"), std::string(300, 'v'), longer}) {
        table.PutValue("A", value.c_str());
        table.PutValue("B", table.ValueAt(0));
        table.PutValue("A", table.ValueAt(0));
        EXPECT_EQ(entryText(table, 0), "A=" + value);
        EXPECT_EQ(entryText(table, 1), "B=" + value);
        EXPECT_EQ(table.ValueLengthAt(1), value.size());
    }
    table.PutValue("B", std::string(400, 'x').c_str());
    EXPECT_EQ(entryText(table, 1), "B=" + std::string(400, 'x'));
}

TEST(KeyTable, HoldsAtMost256KeysButStillReplaces) {
    KeyTable table;
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(table.Put(("K" + std::to_string(i) + "=" + std::to_string(i)).c_str()), 0);
    }
    EXPECT_EQ(table.Count(), KeyTable::kMaxEntries);
    EXPECT_STREQ(table.Find("K255"), "255");
    EXPECT_EQ(table.Find("K256"), nullptr);
    table.Put("K0=zero");
    EXPECT_STREQ(table.Find("K0"), "zero");
    EXPECT_EQ(table.Count(), KeyTable::kMaxEntries);
}

TEST(KeyTable, GetIntegerUsesAutomaticBase) {
    KeyTable table;
    table.Put("DEC=-42");
    table.Put("HEX=0x7A120 trailing");
    table.Put("OCT=010");
    table.Put("WORD=abc");
    table.Put("HUGE=100000000000");
    table.Put("TINY=-100000000000");
    EXPECT_EQ(table.GetInteger("DEC", 9), -42);
    EXPECT_EQ(table.GetInteger("HEX", 9), 500000);
    EXPECT_EQ(table.GetInteger("OCT", 9), 8);
    EXPECT_EQ(table.GetInteger("WORD", 9), 0);
    EXPECT_EQ(table.GetInteger("HUGE", 9), INT32_MAX);
    EXPECT_EQ(table.GetInteger("TINY", 9), INT32_MIN);
    EXPECT_EQ(table.GetInteger("ABSENT", 9), 9);
}

TEST(KeyTable, GetDoubleTakesAnyStrtodForm) {
    KeyTable table;
    table.Put("A=1.5");
    table.Put("B=nan");
    table.Put("C=1e999");
    table.Put("D=x");
    EXPECT_EQ(table.GetDouble("A", 0.0), 1.5);
    EXPECT_TRUE(std::isnan(table.GetDouble("B", 0.0)));
    EXPECT_TRUE(std::isinf(table.GetDouble("C", 0.0)));
    EXPECT_EQ(table.GetDouble("D", 7.0), 0.0);
    EXPECT_EQ(table.GetDouble("E", 7.0), 7.0);
}

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings/SettingsFile.h"
#include "tests/multio/MemoryStream.h"

namespace {

struct Settings {
    std::vector<MonitorRecord> records = std::vector<MonitorRecord>(kMonitorCount);
    int32_t runMode = 0;
    KeyTable table;

    void load(const std::string& file) {
        MemoryStream stream(file);
        loadSettings(table, stream, records, runMode);
    }
    std::string save() {
        MemoryStream stream;
        EXPECT_EQ(saveSettings(table, stream, records, runMode), 0);
        return stream.written;
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

std::string tableText(const KeyTable& table) {
    std::string text;
    for (int32_t i = 0; i < table.Count(); ++i) {
        text += std::string(table.KeyAt(i)) + "=" + table.ValueAt(i) + "\n";
    }
    return text;
}

// The saved fields of a record as they are saved, bit for bit (NaN equals itself): INVERT
// is saved as 0 or 1, linkUp not at all.
std::string fieldBytes(const MonitorRecord& r) {
    std::string bytes(reinterpret_cast<const char*>(&r), offsetof(MonitorRecord, plane));
    const int32_t invert = r.invert != 0 ? 1 : 0;
    bytes.replace(offsetof(MonitorRecord, invert), sizeof invert,
                  reinterpret_cast<const char*>(&invert), sizeof invert);
    bytes.replace(offsetof(MonitorRecord, linkUp), sizeof r.linkUp, sizeof r.linkUp, '\0');
    return bytes;
}

} // namespace

TEST(SettingsFile, DefaultsWithPort3StartWithTheKnownLines) {
    Settings s;
    s.records[0].port = 3;
    const std::vector<std::string> expected = {
        "G.MODE=0",      "MO.0.ACTIVE=0",          "MO.0.PORT=3",   "MO.0.SPEED=500000",
        "MO.0.DITHER=1", "MO.0.CONTRAST=1.000000", "MO.0.OFFSET=0", "MO.0.GAMMA=1.000000",
        "MO.0.INVERT=0", "MO.0.ROTATE=0",          "MO.0.SHRINK=0", "MO.0.CTS=0",
        "MO.0.POS.X=0",  "MO.0.POS.Y=0",           "MO.1.ACTIVE=0"};
    const std::vector<std::string> written = lines(s.save());
    ASSERT_EQ(written.size(), 1u + 4u * 13u);
    EXPECT_EQ(std::vector<std::string>(written.begin(), written.begin() + 15), expected);
    EXPECT_EQ(written.back(), "MO.3.POS.Y=0");
}

TEST(SettingsFile, LoadsCaseInsensitiveKeysCommentsAndAutomaticBase) {
    Settings s;
    s.load("mo.1.port = 7\n"
           "MO.0.SPEED=0x7A120 # fast\n"
           "MO.0.POS.X=010\r\n"
           "\t MO.0.DITHER\t=\t2 \t\r\n"
           "# MO.0.CTS=1\n"
           "MO.0.OFFSET=-3#-4\n"
           "MO.2.CONTRAST=1.5");
    EXPECT_EQ(s.records[1].port, 7);
    EXPECT_EQ(s.records[0].speed, 500000);
    EXPECT_EQ(s.records[0].posX, 8);
    EXPECT_EQ(s.records[0].dither, 2);
    EXPECT_EQ(s.records[0].cts, 0);
    EXPECT_EQ(s.records[0].offset, -3);
    EXPECT_EQ(s.records[2].contrast, 1.5);
    EXPECT_NE(s.save().find("\nMO.2.CONTRAST=1.500000\n"), std::string::npos);
}

TEST(SettingsFile, EmptyValuesAndLinesWithoutEqualsChangeNothing) {
    Settings s;
    s.records[0].port = 4;
    s.load("MO.0.PORT=\nMO.0.PORT   \nMO.0.ACTIVE # =1\n=\n   =   \n\n");
    EXPECT_EQ(s.records[0].port, 4);
    EXPECT_EQ(s.records[0].active, 0);
    EXPECT_EQ(s.table.Count(), 1 + 4 * 13);
}

// Among them the device paths of mirtool mirror, which shares the file.
TEST(SettingsFile, UnknownKeysAndEmptyKeyAreWrittenBackAfterTheProgramKeys) {
    Settings s;
    s.load("X.Y=abc\n=5\nmo.0.port=2\nlower.case = some  words\nX.Y=def\n"
           "mo.1.device = /dev/serial/by-id/usb-FTDI_A b\n");
    const std::vector<std::string> written = lines(s.save());
    ASSERT_EQ(written.size(), 1u + 4u * 13u + 4u);
    EXPECT_EQ(written[2], "MO.0.PORT=2");
    EXPECT_EQ(written[53], "X.Y=def");
    EXPECT_EQ(written[54], "=5");
    EXPECT_EQ(written[55], "LOWER.CASE=some  words");
    EXPECT_EQ(written[56], "MO.1.DEVICE=/dev/serial/by-id/usb-FTDI_A b");
}

TEST(SettingsFile, FlagsAndModeAreNormalised) {
    Settings s;
    s.load("MO.0.INVERT=3\nG.MODE=2\nMO.1.INVERT=-1\n");
    EXPECT_EQ(s.records[0].invert, 3); // used as on
    EXPECT_EQ(s.runMode, 0);
    const std::string written = s.save();
    EXPECT_NE(written.find("\nMO.0.INVERT=1\n"), std::string::npos);
    EXPECT_NE(written.find("\nMO.1.INVERT=1\n"), std::string::npos);
    EXPECT_EQ(written.find("G.MODE=0\n"), 0u);

    Settings external;
    external.load("G.MODE=1");
    EXPECT_EQ(external.runMode, 1);
}

TEST(SettingsFile, OutOfRangeValuesLoadUnchanged) {
    Settings s;
    s.load("MO.0.CONTRAST=nan\nMO.0.GAMMA=1e999\nMO.0.POS.X=100000\nMO.0.SPEED=99999999999\n");
    EXPECT_TRUE(std::isnan(s.records[0].contrast));
    EXPECT_TRUE(std::isinf(s.records[0].gamma));
    EXPECT_EQ(s.records[0].posX, 100000);
    EXPECT_EQ(s.records[0].speed, INT32_MAX);
    const std::string written = s.save();
    EXPECT_NE(written.find("\nMO.0.POS.X=100000\n"), std::string::npos);
    EXPECT_NE(written.find("\nMO.0.GAMMA=inf\n"), std::string::npos);
}

TEST(SettingsFile, OverLongLinesKeepTheir1023FirstCharacters) {
    Settings s;
    const std::string value(3000, 'v');
    s.load("LONG=" + value + "\nMO.0.PORT=5\n");
    EXPECT_STREQ(s.table.Find("LONG"), value.substr(0, 1023 - 5).c_str());
    EXPECT_EQ(s.records[0].port, 5);
}

TEST(SettingsFile, TheRestOfALineBeyondTheReadBufferIsDropped) {
    for (size_t pad : {4093u, 8189u}) { // the key starts a new 4096-byte piece
        Settings s;
        s.load("# " + std::string(pad, 'c') + " MO.0.PORT=9 #\nMO.0.CTS=1\n");
        EXPECT_EQ(s.records[0].port, 0) << pad; // commented out, however far along
        EXPECT_EQ(s.records[0].cts, 1) << pad;
    }
}

TEST(SettingsFile, NulByteEndsTheLine) {
    Settings s;
    s.load(std::string("MO.0.PORT=6\0MO.0.SPEED=1\nMO.0.CTS=1\n", 35));
    EXPECT_EQ(s.records[0].port, 6);
    EXPECT_EQ(s.records[0].speed, 500000);
    EXPECT_EQ(s.records[0].cts, 1);
}

TEST(SettingsFile, CarriageReturnsAloneDoNotEndLines) {
    Settings s;
    s.load("MO.0.PORT=6\rMO.0.CTS=1\r");
    EXPECT_EQ(s.records[0].port, 6); // strtol stops at the carriage return
    EXPECT_EQ(s.records[0].cts, 0);
}

TEST(SettingsFile, AtMost256KeysInAll) {
    Settings s;
    std::string file;
    for (int i = 0; i < 300; ++i) {
        file += "K" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    }
    s.load(file + "MO.3.PORT=9\n");
    EXPECT_EQ(s.table.Count(), 256);
    EXPECT_STREQ(s.table.Find("K202"), "202"); // 53 program keys + 203 others
    EXPECT_EQ(s.table.Find("K203"), nullptr);
    EXPECT_EQ(s.records[3].port, 9); // the program's own keys are always there
}

TEST(SettingsFile, LoadingTwiceKeepsTheSameTable) {
    Settings s;
    const std::string file = "B=1\nmo.0.port=3\nA=2\n";
    s.load(file);
    const std::string first = tableText(s.table);
    s.load(file);
    EXPECT_EQ(tableText(s.table), first);
}

TEST(SettingsFile, FailingReadKeepsWhatWasReadAndStops) {
    const std::string file = "MO.0.PORT=5\nMO.0.CTS=1\nMO.0.ACTIVE=1\n";
    MemoryStream stream(file);
    stream.failAt = static_cast<long>(file.find("MO.0.ACTIVE")) + 3;
    Settings s;
    loadSettings(s.table, stream, s.records, s.runMode);
    EXPECT_EQ(s.records[0].port, 5);
    EXPECT_EQ(s.records[0].cts, 1);
    EXPECT_EQ(s.records[0].active, 0);
    EXPECT_EQ(stream.readCalls, 2); // up to the failure in one chunk; nothing after it
}

TEST(SettingsFile, StreamThatAlwaysFailsOrEndsSilentlyEndsTheLoad) {
    Settings s;
    MemoryStream failing("MO.0.PORT=5\n");
    failing.failAlways = true;
    loadSettings(s.table, failing, s.records, s.runMode);
    EXPECT_EQ(failing.readCalls, 1);
    EXPECT_EQ(s.records[0].port, 0);

    MemoryStream silent("MO.0.PORT=5\nMO.0.CTS=1");
    silent.silentEnd = true;
    loadSettings(s.table, silent, s.records, s.runMode);
    EXPECT_EQ(s.records[0].port, 5);
    EXPECT_EQ(s.records[0].cts, 1);
}

TEST(SettingsFile, StreamAlreadyAtEndIsNotRead) {
    Settings s;
    MemoryStream stream("MO.0.PORT=5\n");
    stream.atEnd = true;
    loadSettings(s.table, stream, s.records, s.runMode);
    EXPECT_EQ(stream.readCalls, 0);
    EXPECT_EQ(s.records[0].port, 0);
}

TEST(SettingsFile, SaveStopsAtTheFirstFailingWrite) {
    Settings s;
    MemoryStream stream;
    stream.failWrites = true;
    EXPECT_EQ(saveSettings(s.table, stream, s.records, s.runMode), -1);
}

namespace {

// Random files: lines of KEY = VALUE with the spellings the syntax cares about, mixed with
// lines of loose pieces, NUL bytes and over-long runs.
template <size_t N> const char* pick(std::mt19937& rng, const char* const (&choices)[N]) {
    return choices[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

std::string randomLine(std::mt19937& rng) {
    static const char* const keys[] = {"G.MODE",     "mo.0.port",  "MO.1.INVERT", "MO.2.CONTRAST",
                                       "Mo.3.Gamma", "mo.0.pos.x", "MO.0.SPEED",  "X.Y",
                                       "unknown",    "",           "MO.9.PORT",   "k"};
    static const char* const values[] = {"0x1F", "010", "-7",  "1.25", "1e999",       "nan",
                                         "abc",  "3",   "2 3", "",     "99999999999", "1"};
    static const char* const blanks[] = {"", "", " ", "\t", " \t "};
    static const char* const ends[] = {"\n", "\n", "\r\n", "\r", "", "#c\n", " # x\n"};
    static const char* const pieces[] = {"=", " ", "#", "\r", "\n", "K", "0x", "."};
    std::string line;
    if (std::uniform_int_distribution<int>(0, 3)(rng) != 0) {
        line = std::string(pick(rng, blanks)) + pick(rng, keys) + pick(rng, blanks) + "=" +
               pick(rng, blanks) + pick(rng, values) + pick(rng, blanks);
    } else {
        for (int i = std::uniform_int_distribution<int>(0, 6)(rng); i > 0; --i) {
            line += pick(rng, pieces);
        }
        if (std::uniform_int_distribution<int>(0, 4)(rng) == 0) {
            line.push_back('\0');
        }
    }
    if (std::uniform_int_distribution<int>(0, 20)(rng) == 0) {
        line += std::string(std::uniform_int_distribution<size_t>(1, 5000)(rng), 'L');
    }
    return line + pick(rng, ends);
}

std::string randomFile(std::mt19937& rng) {
    std::string file;
    for (int i = std::uniform_int_distribution<int>(0, 40)(rng); i > 0; --i) {
        file += randomLine(rng);
    }
    return file;
}

} // namespace

TEST(SettingsFile, LoadSaveLoadIsStableAcrossRandomFiles) {
    std::mt19937 rng(20261207);
    const std::string defaults = fieldBytes(MonitorRecord());
    int withUnknownKeys = 0;
    int withChangedFields = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string file = randomFile(rng);
        Settings first;
        first.load(file);
        const std::string saved = first.save();

        Settings second;
        second.load(saved);
        ASSERT_EQ(tableText(second.table), tableText(first.table)) << round;
        for (int i = 0; i < kMonitorCount; ++i) {
            ASSERT_EQ(fieldBytes(second.records[i]), fieldBytes(first.records[i])) << round;
        }
        ASSERT_EQ(second.runMode, first.runMode);
        ASSERT_EQ(second.save(), saved) << round;
        withUnknownKeys += first.table.Count() > 1 + 4 * 13;
        for (const MonitorRecord& record : first.records) {
            withChangedFields += fieldBytes(record) != defaults;
        }
    }
    // The files must reach both kinds of keys for the property to say anything.
    EXPECT_GT(withUnknownKeys, 100);
    EXPECT_GT(withChangedFields, 400);
}

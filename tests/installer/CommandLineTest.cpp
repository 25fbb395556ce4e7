#include "installer/CommandLine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Parses a command line whose arguments each lie in a heap block of their exact size, so that
// a read past the end of one is caught.
struct CommandLine {
    std::vector<std::unique_ptr<wchar_t[]>> blocks;
    std::vector<const wchar_t*> argv;
    SetupRequest request;
    ParseResult result;
    explicit CommandLine(std::initializer_list<std::wstring> texts) {
        for (const std::wstring& text : texts) {
            blocks.emplace_back(new wchar_t[text.size() + 1]);
            std::copy(text.c_str(), text.c_str() + text.size() + 1, blocks.back().get());
            argv.push_back(blocks.back().get());
        }
        result = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &request);
    }
};

// The Wine tests cover the letters and flags a user types; these cover what the C runtime
// could hand over.
TEST(CommandLine, OptionTooShortForALetter) {
    EXPECT_EQ(ParseResult::TooFewArguments, CommandLine({L"mirsetup", L"/c"}).result);
    for (const wchar_t* tooShort : {L"/", L""}) {
        const CommandLine line({L"m", tooShort, L"a"});
        EXPECT_EQ(SetupCommand::Invalid, line.request.command);
        EXPECT_STREQ(L"", line.request.letter);
        EXPECT_EQ(line.argv[2], line.request.path);
    }
}

TEST(CommandLine, FlagsReadAsLongIntegers) {
    EXPECT_EQ(0xFFFFFFFCu, CommandLine({L"m", L"/i", L"a", L"-4"}).request.flags);
    EXPECT_EQ(0x7FFFFFFFu, CommandLine({L"m", L"/i", L"a", L"99999999999", L" +2x"}).request.flags);
    EXPECT_EQ(0x80000000u, CommandLine({L"m", L"/i", L"a", L"-99999999999"}).request.flags);
    EXPECT_EQ(ParseResult::InvalidFlag, CommandLine({L"m", L"/i", L"a", L"4", L"-0"}).result);
}

} // namespace

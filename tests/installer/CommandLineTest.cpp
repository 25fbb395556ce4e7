#include "installer/CommandLine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Each argument in a heap block of its exact size, so that a read past its end is caught.
struct Arguments {
    std::vector<std::unique_ptr<wchar_t[]>> blocks;
    std::vector<const wchar_t*> argv;
    Arguments(std::initializer_list<std::wstring> texts) {
        for (const std::wstring& text : texts) {
            blocks.emplace_back(new wchar_t[text.size() + 1]);
            std::wmemcpy(blocks.back().get(), text.c_str(), text.size() + 1);
            argv.push_back(blocks.back().get());
        }
    }
    ParseResult Parse(SetupRequest* request) const {
        return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), request);
    }
};

TEST(CommandLine, LetterIsTheLoweredSecondCharacter) {
    const struct {
        const wchar_t* option;
        SetupCommand command;
        const wchar_t* letter;
    } cases[] = {
        {L"/p", SetupCommand::Preinstall, L"p"},  {L"-I", SetupCommand::Install, L"i"},
        {L"xu", SetupCommand::Uninstall, L"u"},   {L"/G", SetupCommand::GetPath, L"g"},
        {L"/cx", SetupCommand::CreateNode, L"c"}, {L"/R", SetupCommand::RemoveNode, L"r"},
        {L"/X", SetupCommand::Invalid, L"x"},     {L"/", SetupCommand::Invalid, L""},
        {L"", SetupCommand::Invalid, L""},
    };
    for (const auto& c : cases) {
        SetupRequest request;
        const Arguments arguments{L"mirsetup", c.option, L"a.inf"};
        ASSERT_EQ(ParseResult::Ok, arguments.Parse(&request));
        EXPECT_EQ(c.command, request.command) << c.option;
        EXPECT_STREQ(c.letter, request.letter) << c.option;
        EXPECT_STREQ(L"a.inf", request.path);
    }
    SetupRequest request;
    EXPECT_EQ(ParseResult::TooFewArguments, Arguments({L"mirsetup", L"/c"}).Parse(&request));
    EXPECT_EQ(ParseResult::TooFewArguments, Arguments({}).Parse(&request));
}

TEST(CommandLine, FlagsAreOredAndZeroIsRefused) {
    SetupRequest request;
    ASSERT_EQ(ParseResult::Ok, Arguments({L"m", L"/i", L"a"}).Parse(&request));
    EXPECT_EQ(0u, request.flags);
    ASSERT_EQ(ParseResult::Ok, Arguments({L"m", L"/i", L"a", L"1", L" +2x", L"8"}).Parse(&request));
    EXPECT_EQ(11u, request.flags);
    ASSERT_EQ(ParseResult::Ok, Arguments({L"m", L"/i", L"a", L"-4"}).Parse(&request));
    EXPECT_EQ(0xFFFFFFFCu, request.flags);
    for (const wchar_t* bad : {L"0x4", L"abc", L"", L"-0", L"- 4"})
        EXPECT_EQ(ParseResult::InvalidFlag,
                  Arguments({L"m", L"/i", L"a", L"4", bad}).Parse(&request))
            << bad;
}

// Against the C library's reading, held to 32 bits, on random text of signs, digits and more.
TEST(CommandLine, ReadDecimalMatchesTheLibraryModel) {
    const std::wstring alphabet = L" \t+-0123456789x9";
    std::mt19937 random(12);
    for (int i = 0; i < 20000; ++i) {
        std::wstring text(random() % 24, L' ');
        for (wchar_t& c : text)
            c = alphabet[random() % alphabet.size()];
        const long long model = std::wcstoll(text.c_str(), nullptr, 10);
        const long long expected = model > INT_MAX ? INT_MAX : model < INT_MIN ? INT_MIN : model;
        ASSERT_EQ(expected, ReadDecimal(text.c_str())) << text;
    }
}

} // namespace

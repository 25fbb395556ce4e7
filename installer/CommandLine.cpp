#include "installer/CommandLine.h"

#include <cwctype>

namespace {

constexpr int kMinArguments = 3; // program name, option, path

const struct {
    wchar_t letter;
    SetupCommand command;
} kCommands[] = {
    {L'p', SetupCommand::Preinstall}, {L'i', SetupCommand::Install},
    {L'u', SetupCommand::Uninstall},  {L'g', SetupCommand::GetPath},
    {L'c', SetupCommand::CreateNode}, {L'r', SetupCommand::RemoveNode},
};

SetupCommand CommandOf(wchar_t letter) {
    for (const auto& entry : kCommands)
        if (entry.letter == letter)
            return entry.command;
    return SetupCommand::Invalid;
}

// The option's second character, lowered; 0 when the option is shorter than that ("/" or
// ""), so that nothing past its end is read.
wchar_t OptionLetter(const wchar_t* option) {
    if (option[0] == L'\0' || option[1] == L'\0')
        return L'\0';
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(option[1])));
}

} // namespace

int32_t ReadDecimal(const wchar_t* text) {
    while (std::iswspace(static_cast<wint_t>(*text)))
        ++text;
    const bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+')
        ++text;
    // Accumulated in 64 bits and held just beyond the 32-bit range, so it cannot overflow.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > limit)
            value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

ParseResult ParseCommandLine(int argc, const wchar_t* const* argv, SetupRequest* request) {
    if (argc < kMinArguments)
        return ParseResult::TooFewArguments;
    const wchar_t letter = OptionLetter(argv[1]);
    request->letter[0] = letter;
    request->letter[1] = L'\0';
    request->command = CommandOf(letter);
    request->path = argv[2];
    request->flags = 0;
    for (int i = kMinArguments; i < argc; ++i) {
        const int32_t flag = ReadDecimal(argv[i]);
        if (flag == 0)
            return ParseResult::InvalidFlag;
        request->flags |= static_cast<uint32_t>(flag);
    }
    return ParseResult::Ok;
}

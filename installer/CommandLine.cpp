#include "installer/CommandLine.h"

#include <cwctype>

namespace {

constexpr int kMinArguments = 3; // program name, option, path

SetupCommand CommandOf(wchar_t letter) {
    switch (letter) {
    case L'p':
        return SetupCommand::Preinstall;
    case L'i':
        return SetupCommand::Install;
    case L'u':
        return SetupCommand::Uninstall;
    case L'g':
        return SetupCommand::GetPath;
    case L'c':
        return SetupCommand::CreateNode;
    case L'r':
        return SetupCommand::RemoveNode;
    default:
        return SetupCommand::Invalid;
    }
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
    request->command = letter ? CommandOf(letter) : SetupCommand::Invalid;
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

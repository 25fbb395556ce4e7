// libFuzzer target: arbitrary bytes as a command line (16-bit characters, arguments split at
// a zero character, each in a heap block of its exact size) through the parser. Besides
// reading nothing out of bounds, it must agree with a model: the flags are the C library's
// reading of each argument held to 32 bits, and an option shorter than two characters has no
// letter.

#include "installer/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::vector<wchar_t>> texts(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (c)
            texts.back().push_back(c);
        else
            texts.emplace_back();
    }
    std::vector<std::unique_ptr<wchar_t[]>> blocks;
    std::vector<const wchar_t*> argv;
    for (const std::vector<wchar_t>& text : texts) {
        blocks.emplace_back(new wchar_t[text.size() + 1]());
        std::copy(text.begin(), text.end(), blocks.back().get());
        argv.push_back(blocks.back().get());
    }
    SetupRequest request;
    const ParseResult result =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &request);
    if ((result == ParseResult::TooFewArguments) != (argv.size() < 3))
        std::abort();
    if (result == ParseResult::TooFewArguments)
        return 0;
    uint32_t flags = 0;
    bool zero = false;
    for (size_t i = 3; i < argv.size(); ++i) {
        const long long read =
            std::min(std::max(std::wcstoll(argv[i], nullptr, 10), -2147483648LL), 2147483647LL);
        zero = zero || read == 0;
        flags |= static_cast<uint32_t>(read);
    }
    const bool hasLetter = texts[1].size() >= 2;
    if ((result == ParseResult::InvalidFlag) != zero || request.path != argv[2] ||
        (request.letter[0] != 0) != hasLetter || request.letter[1] != 0 ||
        (!hasLetter && request.command != SetupCommand::Invalid) ||
        (result == ParseResult::Ok && request.flags != flags))
        std::abort();
    return 0;
}

// libFuzzer target: arbitrary bytes as a command line (16-bit characters, arguments split at
// a zero character, each in a heap block of its exact size) through the parser. Besides
// reading nothing out of bounds, the result must agree with the arguments.

#include "installer/CommandLine.h"

#include <cstdint>
#include <cstdlib>
#include <algorithm>
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
        blocks.emplace_back(new wchar_t[text.size() + 1]);
        std::copy(text.begin(), text.end(), blocks.back().get());
        blocks.back()[text.size()] = L'\0';
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
    for (size_t i = 3; i < argv.size(); ++i)
        flags |= static_cast<uint32_t>(ReadDecimal(argv[i]));
    const bool hasLetter = texts[1].size() >= 2;
    if (request.path != argv[2] || (request.letter[0] != 0) != hasLetter || request.letter[1] ||
        (!hasLetter && request.command != SetupCommand::Invalid) ||
        (result == ParseResult::Ok && request.flags != flags))
        std::abort();
    return 0;
}

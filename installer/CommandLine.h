// The installer's command line: mirsetup option path [flag ...].
//
// Platform-free: works on the wide arguments the C runtime hands to wmain, which are
// treated as hostile (any length, any characters).
#pragma once

#include <cstdint>

// mirsetup's exit codes.
constexpr int kExitStopped = 0; // the command line was refused before anything ran
constexpr int kExitRan = 1;     // the command ran; its outcome is printed
constexpr int kExitFailed = -1; // a device node or an install failed, or it could not run

enum class SetupCommand {
    Preinstall, // p
    Install,    // i
    Uninstall,  // u
    GetPath,    // g
    CreateNode, // c
    RemoveNode, // r
    Invalid,    // any other letter, or an option too short to hold one
};

enum class ParseResult {
    Ok,
    TooFewArguments, // fewer than program name, option and path
    InvalidFlag,     // a flag argument that reads as 0
};

struct SetupRequest {
    SetupCommand command = SetupCommand::Invalid;
    // The option letter as the user sees it in the invalid-option message: the lowered
    // second character, or an empty string when the option has fewer than two characters.
    wchar_t letter[2] = {};
    const wchar_t* path = nullptr; // the INF path as given (argv[2])
    uint32_t flags = 0;            // every flag argument OR-ed together
};

// Fills *request from argv[0..argc). Only the option's second character counts, lowered;
// the first is not examined. Each flag argument is read by ReadDecimal.
ParseResult ParseCommandLine(int argc, const wchar_t* const* argv, SetupRequest* request);

// Reads a decimal integer as the C runtime's _wtol does: leading white space, an optional
// sign, then digits up to the first other character. Text without digits reads as 0 (so
// does "0x4"); values beyond the 32-bit range saturate, as strtol does.
int32_t ReadDecimal(const wchar_t* text);

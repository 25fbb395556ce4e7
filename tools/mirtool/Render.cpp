#include "tools/mirtool/Render.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "tools/mirtool/Help.h"
#include "tools/mirtool/ImageOutput.h"
#include "tools/mirtool/PanelImage.h"

namespace mirtool {

namespace {

constexpr int kMaxScale = 64;
constexpr int64_t kRewriteIntervalMs = 100;
constexpr int kPollMs = 100;
// A stream is judged by its opening records: a sender never sets reserved address bits, so
// more than a few of them there means the input is something else (a PNG, say). Later bad
// records are only counted, as in a line picked up mid-way.
constexpr uint64_t kJudgedRecords = 8;
constexpr uint64_t kBadRecordsAllowed = 2;

volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int) {
    g_stopSignal = 1;
}

struct RenderOptions {
    std::string input = "-";
    std::string output;
    ImageFormat format = ImageFormat::Unknown;
    bool ascii = false;
    bool follow = false;
    int scale = 1;
};

const char kUsage[] = "usage: render [INPUT] [-o OUT] [--ascii] [--scale N] [--follow]";

int Fail(const std::string& message) {
    fprintf(stderr, "mirtool render: %s\n", message.c_str());
    return kExitBadInput;
}

bool ParseScale(const char* text, int& scale) {
    char* end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > kMaxScale)
        return false;
    scale = static_cast<int>(value);
    return true;
}

// Returns an empty string when the options are usable, else the reason.
std::string ParseOptions(int argc, char** argv, RenderOptions& options) {
    bool haveInput = false;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o" || arg == "--scale") {
            if (i + 1 >= argc)
                return arg + " needs a value";
            const char* value = argv[++i];
            if (arg == "-o")
                options.output = value;
            else if (!ParseScale(value, options.scale))
                return std::string("--scale must be a whole number from 1 to 64: ") + value;
        } else if (arg == "--ascii") {
            options.ascii = true;
        } else if (arg == "--follow") {
            options.follow = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (haveInput) {
            return "more than one input: " + arg;
        } else {
            options.input = arg;
            haveInput = true;
        }
    }
    if (!options.output.empty()) {
        options.format = FormatForPath(options.output);
        if (options.format == ImageFormat::Unknown)
            return "OUT must end in .pbm or .png, or be -: " + options.output;
    }
    if (options.output.empty() && !options.ascii)
        return "nothing to write: give -o OUT or --ascii";
    if (options.follow && (options.output.empty() || options.output == "-"))
        return "--follow needs -o OUT, a path";
    return "";
}

// A terminal line would cook the bytes (echo, CR/LF mapping): read it raw.
void MakeRaw(int fd) {
    termios mode;
    if (tcgetattr(fd, &mode) != 0)
        return;
    cfmakeraw(&mode);
    tcsetattr(fd, TCSANOW, &mode);
}

int OpenInput(const std::string& path) {
    if (path == "-")
        return STDIN_FILENO;
    int fd = open(path.c_str(), O_RDONLY | O_NOCTTY);
    if (fd >= 0 && isatty(fd))
        MakeRaw(fd);
    return fd;
}

int64_t NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

enum class ReadResult { Data, End, Error, Interrupted };

// Bytes to read next: no more than the opening records while they are being judged.
size_t ReadLimit(const RecordStream& records, size_t capacity) {
    const uint64_t seen = records.Applied() + records.Rejected();
    if (seen >= kJudgedRecords)
        return capacity;
    return static_cast<size_t>(kJudgedRecords - seen) * wire::kRecordSize - records.Pending();
}

// One read. A terminal whose other side has gone reports EIO: that is its end of input.
// (Ask whether it is a terminal beforehand: a hung-up one no longer says so.)
ReadResult ReadSome(int fd, bool terminal, RecordStream& records) {
    uint8_t buffer[4096];
    ssize_t n = read(fd, buffer, ReadLimit(records, sizeof buffer));
    if (n > 0) {
        records.Feed(buffer, static_cast<size_t>(n));
        return ReadResult::Data;
    }
    if (n == 0 || (errno == EIO && terminal))
        return ReadResult::End;
    return errno == EINTR ? ReadResult::Interrupted : ReadResult::Error;
}

class Renderer {
public:
    Renderer(const RenderOptions& options, bool terminal)
        : options(options), terminal(terminal), records(panel) {}

    int Run(int& fd);

private:
    int ReadToEnd(int fd);
    int Follow(int& fd);
    void Reopen(int& fd);
    bool WriteOut();
    int Finish();
    void Report() const;

    const RenderOptions& options;
    const bool terminal;
    PanelImage panel;
    RecordStream records;
};

// Whether the opening records show that the input is not a panel stream.
bool NotAStream(const RecordStream& records) {
    return records.Applied() + records.Rejected() <= kJudgedRecords &&
           records.Rejected() > kBadRecordsAllowed;
}

int Renderer::ReadToEnd(int fd) {
    for (;;) {
        switch (ReadSome(fd, terminal, records)) {
        case ReadResult::Data:
            if (NotAStream(records))
                return Fail(
                    options.input + ": not a panel stream: " + std::to_string(records.Rejected()) +
                    " of its first " + std::to_string(records.Applied() + records.Rejected()) +
                    " records have reserved address bits set (render reads the bytes "
                    "a panel's port receives, such as convert writes)");
            continue;
        case ReadResult::Interrupted:
            continue;
        case ReadResult::End:
            return Finish();
        case ReadResult::Error:
            return Fail(options.input + ": " + strerror(errno));
        }
    }
}

// A terminal whose other side went away stays hung up: open the path afresh, in case a
// new line (a restarted pty pair, a replugged adapter) has appeared there. Keeps `fd` when
// nothing opens.
void Renderer::Reopen(int& fd) {
    if (!terminal || options.input == "-")
        return;
    int fresh = OpenInput(options.input);
    if (fresh < 0)
        return;
    close(fd);
    fd = fresh;
    if (records.Pending() > 0)
        fprintf(stderr, "mirtool render: line reopened; dropped %zu bytes of a record\n",
                records.Pending());
    records.DropPending();
}

// Rewrites OUT at most every 100 ms while records arrive; waits out the ends of input
// (a writer that closed its side, a file that has not grown) until SIGINT or SIGTERM.
int Renderer::Follow(int& fd) {
    bool changed = false;
    int64_t lastWrite = NowMs() - kRewriteIntervalMs;
    while (!g_stopSignal) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, kPollMs);
        if (ready > 0) {
            uint64_t before = records.Applied() + records.Rejected();
            ReadResult r = ReadSome(fd, terminal, records);
            if (r == ReadResult::Error)
                return Fail(options.input + ": " + strerror(errno));
            if (r == ReadResult::End) {
                usleep(kPollMs * 1000); // nothing to read until a writer comes back
                Reopen(fd);
            }
            changed = changed || records.Applied() + records.Rejected() != before;
        }
        if (changed && NowMs() - lastWrite >= kRewriteIntervalMs) {
            if (!WriteOut())
                return kExitOutputFailed;
            changed = false;
            lastWrite = NowMs();
        }
    }
    return Finish();
}

bool Renderer::WriteOut() {
    std::string error;
    if (WriteImage(panel, options.output, options.format, options.scale, error))
        return true;
    fprintf(stderr, "mirtool render: %s\n", error.c_str());
    return false;
}

void Renderer::Report() const {
    if (records.Rejected() > 0)
        fprintf(stderr, "mirtool render: skipped %llu record(s) with reserved address bits set\n",
                static_cast<unsigned long long>(records.Rejected()));
    if (records.Pending() > 0)
        fprintf(stderr, "mirtool render: input ends inside a record (%zu of 17 bytes)\n",
                records.Pending());
}

int Renderer::Finish() {
    Report();
    if (options.ascii)
        WriteAscii(panel, stdout);
    if (!options.output.empty() && !WriteOut())
        return kExitOutputFailed;
    return kExitDone;
}

int Renderer::Run(int& fd) {
    return options.follow ? Follow(fd) : ReadToEnd(fd);
}

void InstallStopHandlers() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int RunRender(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {
        PrintHelp("render", stdout);
        return kExitDone;
    }
    RenderOptions options;
    std::string problem = ParseOptions(argc, argv, options);
    if (!problem.empty()) {
        return Fail(problem + " (" + kUsage + ")");
    }
    int fd = OpenInput(options.input);
    if (fd < 0)
        return Fail(options.input + ": " + strerror(errno));
    if (options.follow)
        InstallStopHandlers();
    Renderer renderer(options, isatty(fd) != 0);
    int status = renderer.Run(fd);
    if (fd != STDIN_FILENO)
        close(fd);
    return status;
}

} // namespace mirtool

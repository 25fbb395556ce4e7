#include "tools/mirtool/mirror/Mirror.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "app/core/Globals.h"
#include "tools/mirtool/Help.h"
#include "tools/mirtool/mirror/MirrorLoop.h"
#include "tools/mirtool/mirror/MirrorSetup.h"
#include "tools/mirtool/mirror/PortLink_Posix.h"
#include "tools/mirtool/mirror/ScreenSource_X11.h"
#include "tools/mirtool/mirror/SettingsFile_Posix.h"

namespace mirtool {

namespace {

void Say(const std::string& line) {
    fprintf(stderr, "mirtool mirror: %s\n", line.c_str());
}

int Fail(int status, const std::string& message) {
    Say(message);
    return status;
}

uint64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

// The settings file, when there is one: a file named with --config must be read; the
// default one only when it exists, unless --port makes it unneeded. 0, or an exit status.
int LoadSettings(const MirrorArgs& args, KeyTable& table, bool& haveFile) {
    const std::string path = !args.config.empty()
                                 ? args.config
                                 : DefaultConfigPath(getenv("XDG_CONFIG_HOME"), getenv("HOME"));
    haveFile = false;
    std::string error = "no settings file (neither XDG_CONFIG_HOME nor HOME is set)";
    const int32_t code =
        path.empty() ? -ENOENT : LoadSettingsFile(path, table, g_monitors, g_runMode, error);
    if (code == -ENOENT && args.config.empty() && !args.port.empty())
        return 0;
    if (code == -ENOENT && args.config.empty())
        return Fail(2, "no --port DEVICE given and " +
                           (path.empty() ? error : "no settings file at " + path));
    if (code != 0)
        return Fail(2, error);
    haveFile = true;
    return 0;
}

// SIGINT and SIGTERM as a descriptor to wait on; blocked first, so that the threads
// started afterwards inherit the mask and none of them takes the signal.
int SignalFd() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &stop, nullptr) != 0)
        return -1;
    return signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
}

// Everything the run owns, closed in reverse order of opening.
struct Run {
    std::unique_ptr<ScreenSource_X11> source;
    std::vector<std::unique_ptr<PortLink>> links;
    int signals = -1;
    int notify = -1;
    ~Run() {
        for (auto& link : links)
            link->Stop();
        for (int fd : {notify, signals})
            if (fd >= 0)
                close(fd);
    }
};

int StartLinks(const std::vector<MirrorPort>& ports, Run& run) {
    for (const MirrorPort& port : ports) {
        run.links.push_back(std::make_unique<PortLink>(port, run.notify));
        std::string error;
        const int32_t code = run.links.back()->Start(error);
        if (code < 0) // not a serial port, or one that refuses the settings' speed
            return Fail(code == -ENOTTY || code == -EINVAL ? 2 : 1, error);
    }
    return 0;
}

void Drain(int fd, size_t size) {
    char buffer[sizeof(signalfd_siginfo)];
    while (read(fd, buffer, size) > 0) {
    }
}

// Turns of the loop until a signal, the deadline or a lost display. The exit status.
int Loop(MirrorLoop& loop, Run& run, uint64_t deadlineNs) {
    ScreenSource_X11& source = *run.source;
    bool readable = true;
    for (;;) {
        const uint64_t now = MonotonicNs();
        if (!source.HandleEvents(readable))
            return Fail(1, "lost the X display");
        if (deadlineNs != 0 && now >= deadlineNs)
            return 0;
        int64_t wait = loop.Turn(now);
        const bool pending = source.ChangesPending();
        if (wait < 0 || !source.HandleEvents(false))
            return Fail(1, "lost the X display");
        if (!pending && source.ChangesPending())
            wait = 0; // reported while a reply was awaited: already read off the socket
        if (deadlineNs != 0)
            wait = std::min<int64_t>(wait, (deadlineNs - now + 999999) / 1000000);
        pollfd fds[3] = {
            {source.Fd(), POLLIN, 0}, {run.notify, POLLIN, 0}, {run.signals, POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(wait)) < 0 && errno != EINTR)
            return Fail(1, std::string("poll: ") + strerror(errno));
        if (fds[2].revents & POLLIN)
            return 0;
        readable = fds[0].revents != 0;
        if (fds[1].revents & POLLIN)
            Drain(run.notify, sizeof(uint64_t));
    }
}

int Mirror(const MirrorArgs& args, int argc, char** argv) {
    resetGlobalState();
    auto table = std::make_unique<KeyTable>();
    bool haveFile = false;
    if (const int status = LoadSettings(args, *table, haveFile))
        return status;
    std::vector<MirrorPort> ports;
    std::vector<std::string> notes;
    std::string error;
    const bool planned = PlanDisplays(argc, argv, args, haveFile ? table.get() : nullptr,
                                      g_monitors, ports, notes, error);
    for (const std::string& note : notes)
        Say(note);
    if (!planned)
        return Fail(2, error);
    Run run;
    run.signals = SignalFd();
    run.notify = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (run.signals < 0 || run.notify < 0)
        return Fail(1, std::string("cannot wait for signals: ") + strerror(errno));
    run.source = ScreenSource_X11::Connect(error);
    if (!run.source)
        return Fail(1, error);
    if (args.verbose)
        Say("capturing through " + run.source->Method());
    if (const int status = StartLinks(ports, run))
        return status;
    std::vector<PanelPort*> panels(g_monitors.size(), nullptr);
    for (size_t i = 0; i < ports.size(); ++i)
        panels[size_t(ports[i].display)] = run.links[i].get();
    MirrorLoop loop(g_monitors, panels, *run.source,
                    args.verbose ? std::function<void(const std::string&)>(Say) : nullptr);
    const uint64_t start = MonotonicNs();
    return Loop(loop, run, args.seconds ? start + uint64_t(args.seconds) * 1000000000u : 0);
}

} // namespace

int RunMirror(int argc, char** argv) {
    MirrorArgs args;
    std::string error;
    if (!ParseMirrorArgs(argc, argv, args, error)) {
        Say(error);
        fputs("Try: mirtool mirror --help\n", stderr);
        return 2;
    }
    if (args.help) {
        PrintHelp("mirror", stdout);
        return kExitDone;
    }
    return Mirror(args, argc, argv);
}

} // namespace mirtool

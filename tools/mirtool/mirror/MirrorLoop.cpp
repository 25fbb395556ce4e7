#include "tools/mirtool/mirror/MirrorLoop.h"

#include <algorithm>

#include "app/capture/CellCompare.h"
#include "app/core/Globals.h"

namespace mirtool {

namespace {

constexpr uint32_t kAllDisplays = ~0u;

uint32_t Bit(size_t index) {
    return index < 32 ? 1u << index : 0;
}

} // namespace

void MirrorLoop::PortSink::Deliver(size_t slot, const std::vector<uint8_t>& block) {
    if (slot < ports.size() && ports[slot])
        ports[slot]->Send(block); // a refused block is dropped, as mirpanel drops it
}

MirrorLoop::MirrorLoop(std::vector<MonitorRecord>& records, std::vector<PanelPort*> ports,
                       ScreenSource& source, std::function<void(const std::string&)> report)
    : records(records), ports(std::move(ports)), source(source), report(std::move(report)) {
    this->ports.resize(records.size(), nullptr);
    generations.assign(records.size(), 0);
}

// A port that (re)opened since the last turn owes its display a whole picture; one that is
// closed takes its display out of conversion until then.
void MirrorLoop::RefreshPorts() {
    for (size_t i = 0; i < ports.size(); ++i) {
        if (!ports[i])
            continue;
        const PanelPort::Status status = ports[i]->GetStatus();
        records[i].linkUp = status.open ? 1 : 0;
        if (status.open && status.generation != generations[i])
            wholeWanted |= Bit(i);
        generations[i] = status.generation;
    }
}

bool MirrorLoop::AnyOpen() const {
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i] && records[i].linkUp)
            return true;
    return false;
}

bool MirrorLoop::AnyFullRefresh() const {
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i] && records[i].linkUp && wantsFullRefresh(records[i]))
            return true;
    return false;
}

bool MirrorLoop::CaptureAllowed(uint32_t nowMs) const {
    return !captured || !captureTooEarly(nowMs, lastCaptureMs);
}

std::vector<FrameDisplay> MirrorLoop::Slots() const {
    std::vector<FrameDisplay> slots(records.size(), FrameDisplay{nullptr, RECT{0, 0, 0, 0}, 0, 0});
    for (size_t i = 0; i < records.size(); ++i) {
        if (ports[i] && records[i].active) {
            MonitorRecord& record = records[i];
            slots[i] = FrameDisplay{&record, panelWindow(record), record.invert != 0 ? 1 : 0,
                                    record.rotate};
        }
    }
    return slots;
}

void MirrorLoop::Report() {
    uint64_t bytes = 0;
    for (PanelPort* port : ports)
        bytes += port ? port->GetStatus().bytesSent : 0;
    if (report) {
        report(std::to_string(frames - reportedFrames) + " frames, " +
               std::to_string(captures - reportedCaptures) + " captures, " +
               std::to_string(bytes - reportedBytes) + " bytes sent in the last second");
    }
    reportedFrames = frames;
    reportedCaptures = captures;
    reportedBytes = bytes;
}

int32_t MirrorLoop::RunFrame(bool capture, uint32_t nowMs) {
    std::vector<FrameDisplay> slots = Slots();
    const int32_t shrink = records[0].shrink;
    const CaptureSize screen = source.ScreenSize();
    if (capture) {
        const CaptureSize size = MirrorCaptureSize(screen, shrink);
        const RECT area = CoveredArea(slots.data(), slots.size(), size);
        if (source.Capture(CaptureRequest{size, area, wholeWanted != 0}, dirty) < 0)
            return -1;
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i].record && (wholeWanted & Bit(i)))
                dirty.Add(slots[i].window);
        wholeWanted = 0;
        lastCaptureMs = nowMs;
        captured = true;
        ++captures;
    }
    const uint32_t before = g_frameCounter;
    convertCapturedFrame(slots.data(), slots.size(), screen, shrink, source.Frame(), dirty, sink);
    frames += g_frameCounter - before;
    return 0;
}

uint32_t MirrorLoop::WaitMs(const TickReading& now, uint32_t nowMs) const {
    uint32_t wait = std::min(msUntilTick(now, lastPeriodicTick + kPeriodicTicks),
                             msUntilTick(now, lastWholeTick + kWholePictureTicks));
    if (!AnyOpen())
        return wait; // a port that opens wakes the caller
    const uint32_t nextFrame = msUntilTick(now, lastFrameTick + kFrameTicks);
    if (AnyFullRefresh())
        return std::min(wait, nextFrame);
    if (wholeWanted == 0 && !source.ChangesPending())
        return wait; // drawing wakes the caller
    const uint32_t sinceCapture = nowMs - lastCaptureMs;
    const uint32_t nextCapture =
        CaptureAllowed(nowMs) ? 0 : kCaptureSpacingMs - std::min(sinceCapture, kCaptureSpacingMs);
    return std::min(wait, std::max(nextFrame, nextCapture));
}

int64_t MirrorLoop::Turn(uint64_t nowNs) {
    const TickReading now = readingFromCounter(static_cast<int64_t>(nowNs), kNsPerTick);
    const uint32_t nowMs = static_cast<uint32_t>(nowNs / 1000000);
    if (!started) {
        // The first turn starts every period; each display gets a whole picture as its port
        // opens.
        lastPeriodicTick = lastWholeTick = now.tick;
        lastFrameTick = now.tick - kFrameTicks;
        started = true;
    }
    RefreshPorts();
    if (periodicDue(now.tick, lastPeriodicTick)) {
        Report();
        lastPeriodicTick = now.tick;
    }
    if (now.tick - lastWholeTick >= kWholePictureTicks) {
        wholeWanted = kAllDisplays;
        lastWholeTick = now.tick;
    }
    const bool running = AnyOpen();
    if (frameStep(now.tick, lastFrameTick, true, running, true) == FrameStep::Convert) {
        const bool capture = (wholeWanted != 0 || source.ChangesPending()) && CaptureAllowed(nowMs);
        if (capture || AnyFullRefresh()) {
            if (RunFrame(capture, nowMs) < 0)
                return -1;
            lastFrameTick = now.tick;
        }
    }
    return WaitMs(now, nowMs);
}

} // namespace mirtool

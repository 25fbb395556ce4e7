// mirtool mirror's frame loop, as mirpanel paces it: frames at most every 30 ms, captures
// at least 40 ms apart, a whole picture for a display whose port (re)opens and for every
// display every 4 s. Each turn says how long the caller may wait for events (drawing
// reported, a port's state changed) before the next: it never needs to spin. Platform-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/convert/FrameConversion.h"
#include "app/core/MonitorRecord.h"
#include "app/core/Pacing.h"
#include "comsrc/RectList.h"
#include "tools/mirtool/mirror/ScreenSource.h"

namespace mirtool {

// A display's port as the loop sees it; its writer runs elsewhere.
class PanelPort {
public:
    struct Status {
        bool open;           // writes reach the device
        uint32_t generation; // how often it has opened
        uint64_t bytesSent;  // written to the device so far
    };
    virtual ~PanelPort() = default;
    virtual Status GetStatus() = 0;
    // Queues the whole block or refuses it (negative); never waits for the line.
    virtual int32_t Send(const std::vector<uint8_t>& block) = 0;
};

class MirrorLoop {
public:
    static constexpr uint32_t kWholePictureTicks = 400; // the window's refresh timer, 4 s
    static constexpr double kNsPerTick = 1e7;

    // `ports[i]` drives records[i], or is null for a display not driven. `report` gets the
    // once-a-second counts when set.
    MirrorLoop(std::vector<MonitorRecord>& records, std::vector<PanelPort*> ports,
               ScreenSource& source, std::function<void(const std::string&)> report);

    // One turn at `nowNs` of a monotonic clock. Returns how many milliseconds the caller
    // may wait for an event before the next turn, or -1 when the screen is lost.
    int64_t Turn(uint64_t nowNs);

    uint32_t Frames() const { return frames; }
    uint32_t Captures() const { return captures; }

private:
    class PortSink : public BlockSink {
    public:
        explicit PortSink(std::vector<PanelPort*>& ports) : ports(ports) {}
        void Deliver(size_t slot, const std::vector<uint8_t>& block) override;

    private:
        std::vector<PanelPort*>& ports;
    };

    void RefreshPorts();
    void Report();
    bool AnyOpen() const;
    bool AnyFullRefresh() const;
    bool CaptureAllowed(uint32_t nowMs) const;
    std::vector<FrameDisplay> Slots() const;
    int32_t RunFrame(bool capture, uint32_t nowMs);
    uint32_t WaitMs(const TickReading& now, uint32_t nowMs) const;

    std::vector<MonitorRecord>& records;
    std::vector<PanelPort*> ports;
    std::vector<uint32_t> generations; // the last generation seen of each port
    ScreenSource& source;
    std::function<void(const std::string&)> report;
    comsrc::RectList dirty{256, 16};
    PortSink sink{ports};

    uint32_t wholeWanted = 0; // displays (bits) owed a whole picture
    bool started = false;
    uint32_t lastPeriodicTick = 0;
    uint32_t lastFrameTick = 0;
    uint32_t lastWholeTick = 0;
    uint32_t lastCaptureMs = 0;
    bool captured = false;
    uint32_t frames = 0;
    uint32_t captures = 0;
    uint32_t reportedFrames = 0;
    uint32_t reportedCaptures = 0;
    uint64_t reportedBytes = 0;
};

} // namespace mirtool

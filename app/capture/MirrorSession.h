// One capture mediator's conversation with the mirror driver, through display escapes: the
// one flush of old change records, draining the change queue, identification, and the whole
// life of the mapping of the driver's frame buffer into this process (map, keep-alive, age,
// readable check, unmap, and when its pixels must be reported whole again).
//
// Platform-free: the escape call and the few services around it come through MirrorPlatform,
// which mirpanel implements over ExtEscape and tests over their own drivers.
#pragma once

#include <cstdint>

class ChangeRecordHandler;

class MirrorPlatform {
public:
    virtual ~MirrorPlatform() = default;
    // One escape on the mirror display's device context; its result.
    virtual int32_t Escape(uint32_t code, int32_t inSize, const void* in, int32_t outSize,
                           void* out) = 0;
    // Makes a new device context for the mirror display.
    virtual void Reopen() = 0;
    // Wall-clock seconds.
    virtual int64_t Now() = 0;
    // The process handle the driver maps the frame buffer into: this process.
    virtual uint32_t Process() = 0;
    // Whether `size` bytes from `address` are committed and readable in this process.
    virtual bool Readable(uint32_t address, uint64_t size) = 0;
};

class MirrorSession {
public:
    // A mapping is renewed once it is this old, and counts as lost beyond kMappingLifetime.
    static constexpr int64_t kRenewAfter = 10;
    static constexpr int64_t kMappingLifetime = 12;
    // More failed peeks in a row than this reopen the device context.
    static constexpr int32_t kPeekFailureLimit = 256;
    // KeepMapping's answer for a mapping that was lost (and has been unmapped).
    static constexpr int32_t kMappingLost = -100;

    // frameBytes: the size of the mapped frame buffer (width * height * 4).
    MirrorSession(MirrorPlatform& platform, uint64_t frameBytes);
    ~MirrorSession();
    MirrorSession(const MirrorSession&) = delete;
    MirrorSession& operator=(const MirrorSession&) = delete;

    // Drops the records from before this session; only the first call sends anything.
    void FlushOnce();
    // Peeks and, when a record waits, fetches every queued record into one buffer and walks
    // them. 1 when records were fetched, otherwise 0.
    int32_t DrainChanges(ChangeRecordHandler& handler);
    // The frame buffer ready to be read, asked once per capture: KeepMapping, a lost mapping
    // made again at once, then ReadableMapping. 0 when there is nothing to read. `fresh` is
    // set when the mapping is new: changes made while there was none may have been missed,
    // and what was reported before may have been converted from stale pixels, so the whole
    // display is copied and reported again.
    uint32_t UsableFrameBuffer(bool& fresh);
    // Maps the frame buffer when it is not mapped (4), renews it every 10 to 12 seconds (0),
    // and unmaps one older than 12 seconds (kMappingLost), so that the next call maps
    // afresh. -1 when the map escape fails.
    int32_t KeepMapping();
    // The mapped frame buffer when it is still readable in full, otherwise 0; a mapping that
    // went away behind this session's back counts as lost and is unmapped.
    uint32_t ReadableMapping();
    // Asks the driver who it is (which also switches change tracking on) and copies up to
    // `length` bytes of the answer to `buffer`. 0 for a Mirvane driver, -2 for another
    // answer, -1 when none came even after one retry on a new device context.
    int32_t Identify(void* buffer, int32_t length);

    uint32_t MappedFrameBuffer() const { return mappedFrameBuffer; }
    int32_t FailedPeeks() const { return failedPeeks; }

private:
    // Undoes the mapping, if any.
    void Unmap();
    void PeekFailed();
    int32_t FetchChanges(uint32_t oldestSize, ChangeRecordHandler& handler);

    MirrorPlatform& platform;
    uint64_t frameBytes;
    int32_t flushCount = 0;
    int32_t failedPeeks = 0;
    uint32_t process = 0;
    uint32_t mappedFrameBuffer = 0;
    int64_t lastMapTime = 0;
};

#pragma once
// The list of changed screen areas gathered between two frames. Add keeps its entries on a
// grid and free of overlap, so the consumer never converts a pixel twice; past a limit the
// list collapses to its bounding box, which bounds the quadratic cost of Add.

#include <cstdint>

#include "comsrc/WinTypes.h"

namespace comsrc {

class RectList {
public:
    static constexpr uint32_t kChunkEntries = 1024;

    // Entries live in a linked list of fixed blocks, so adding many small rectangles never
    // reallocates.
    struct Chunk {
        Chunk* next;
        RECT entries[kChunkEntries];
        uint32_t used;
    };

    RectList(uint32_t collapseLimit, int32_t gridSize);
    RectList(const RectList&) = delete;
    RectList& operator=(const RectList&) = delete;

    virtual ~RectList();
    virtual int32_t Append(const RECT& rect);
    virtual int32_t Add(const RECT& rect);
    virtual int32_t RemoveAt(uint32_t index);
    virtual int32_t ClearAt(uint32_t index);
    virtual int32_t Merge(uint32_t maxPasses);
    virtual int32_t MergeOnce();
    virtual int32_t SplitIntoTiles(uint32_t tileSize);
    virtual int32_t RemoveEmpty();
    virtual int32_t CollapseToBounds();
    virtual int32_t RemoveAll();
    virtual int32_t SharesBandWithAny(const RECT& rect);
    virtual int32_t AddClippedOffset(const RECT& clip, int32_t dx, int32_t dy);
    virtual void ResetAppendCount();
    virtual RECT* GetAt(uint32_t index);
    virtual const RECT* GetBounds();
    virtual uint32_t GetCount();
    virtual int32_t EnsureCapacity();
    virtual Chunk* AllocateChunk();
    virtual void SnapToGrid(RECT& rect);

private:
    // Appends without counting the rectangle as one given from outside.
    int32_t appendInternal(const RECT& rect);
    // The same without snapping to the grid.
    int32_t appendAsIs(const RECT& rect);

    Chunk* firstChunk_ = nullptr;
    Chunk* lastChunk_ = nullptr;
    RECT bounds_{};
    uint32_t count_ = 0;
    int32_t appendCount_ = 0;
    uint32_t collapseLimit_;
    int32_t gridSize_;
};

static_assert(sizeof(void*) != 4 || sizeof(RectList::Chunk) == 16392,
              "a chunk is a next pointer, 1024 entries and a used count");

bool isEmptyRect(const RECT& rect);
RECT intersectRects(const RECT& a, const RECT& b);
// The smallest rectangle holding both.
RECT boundsUnion(const RECT& a, const RECT& b);
// The same, where an empty rectangle holds nothing: the other one is returned as it is.
RECT unionRects(const RECT& a, const RECT& b);
bool equalRects(const RECT& a, const RECT& b);

} // namespace comsrc

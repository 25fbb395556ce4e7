#include "comsrc/RectList.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace comsrc {

namespace {

LONG clampToLong(int64_t value) {
    return static_cast<LONG>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Moves a leading edge down onto the grid. Negative edges go down as well, so the snapped
// rectangle always covers the original.
LONG snapLeading(LONG edge, int32_t grid) {
    int64_t rem = static_cast<int64_t>(edge) % grid;
    if (rem < 0)
        rem += grid;
    return clampToLong(static_cast<int64_t>(edge) - rem);
}

// Moves a trailing (exclusive) edge up onto the grid. An edge of 0 becomes one cell when the
// leading edge is not negative, so an empty rectangle at the origin still marks a cell; for
// rectangles reaching into negative coordinates it stays, which keeps snapping idempotent
// (Add re-snaps the pieces it splits off and must reach a fixed point).
LONG snapTrailing(LONG edge, LONG leading, int32_t grid) {
    if (edge == 0 && leading >= 0)
        return grid;
    int64_t rem = (static_cast<int64_t>(edge) - 1) % grid;
    if (rem < 0)
        rem += grid;
    return clampToLong(static_cast<int64_t>(edge) - rem + grid - 1);
}

// Neighbours share a whole edge; the merged rectangle covers both.
bool mergeNeighbours(const RECT& a, const RECT& b, RECT& merged) {
    if (a.top == b.top && a.bottom == b.bottom && (a.left == b.right || a.right == b.left)) {
        merged = RECT{std::min(a.left, b.left), a.top, std::max(a.right, b.right), a.bottom};
        return true;
    }
    if (a.left == b.left && a.right == b.right && (a.top == b.bottom || a.bottom == b.top)) {
        merged = RECT{a.left, std::min(a.top, b.top), a.right, std::max(a.bottom, b.bottom)};
        return true;
    }
    return false;
}

int64_t overlapLength(LONG startA, LONG endA, LONG startB, LONG endB) {
    return static_cast<int64_t>(std::min(endA, endB)) - std::max(startA, startB);
}

} // namespace

bool isEmptyRect(const RECT& rect) {
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

RECT intersectRects(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

RECT boundsUnion(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT unionRects(const RECT& a, const RECT& b) {
    if (isEmptyRect(a))
        return b;
    return isEmptyRect(b) ? a : boundsUnion(a, b);
}

bool equalRects(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RectList::RectList(uint32_t collapseLimit, int32_t gridSize)
    : collapseLimit_(collapseLimit), gridSize_(gridSize) {}

RectList::~RectList() {
    RemoveAll();
}

int32_t RectList::Append(const RECT& rect) {
    const int32_t result = appendInternal(rect);
    if (result == 0)
        ++appendCount_;
    return result;
}

int32_t RectList::appendInternal(const RECT& rect) {
    RECT snapped = rect;
    SnapToGrid(snapped);
    return appendAsIs(snapped);
}

int32_t RectList::appendAsIs(const RECT& rect) {
    if (EnsureCapacity() != 0)
        return -1;
    lastChunk_->entries[lastChunk_->used++] = rect;
    ++count_;
    bounds_ = count_ == 1 ? rect : boundsUnion(bounds_, rect);
    return 0;
}

int32_t RectList::Add(const RECT& rect) {
    if (isEmptyRect(rect))
        return 0;
    if (count_ > collapseLimit_)
        CollapseToBounds();
    RECT s = rect;
    SnapToGrid(s);

    for (uint32_t i = 0; i < count_; ++i) {
        const RECT e = *GetAt(i);
        if (isEmptyRect(e))
            continue;
        const RECT x = intersectRects(e, s);
        if (isEmptyRect(x))
            continue;
        if (equalRects(x, s))
            return 0; // already covered
        if (equalRects(x, e)) {
            ClearAt(i); // the new rectangle swallows this entry
            continue;
        }
        // Partial overlap: add the parts of s around the shared area. Pieces that overlap
        // other entries are split again the same way.
        Add(RECT{s.left, s.top, s.right, x.top});
        Add(RECT{x.right, s.top, s.right, s.bottom});
        Add(RECT{s.left, x.bottom, s.right, s.bottom});
        Add(RECT{s.left, s.top, x.left, s.bottom});
        return 0;
    }
    return appendInternal(s);
}

int32_t RectList::RemoveAt(uint32_t index) {
    uint32_t local = index;
    for (Chunk* chunk = firstChunk_; chunk; chunk = chunk->next) {
        if (local < chunk->used) {
            std::memmove(&chunk->entries[local], &chunk->entries[local + 1],
                         (chunk->used - local - 1) * sizeof(RECT));
            --chunk->used;
            --count_;
            return 0;
        }
        local -= chunk->used;
    }
    return -1;
}

int32_t RectList::ClearAt(uint32_t index) {
    RECT* entry = GetAt(index);
    if (!entry)
        return -1;
    *entry = RECT{0, 0, 0, 0};
    return 0;
}

int32_t RectList::Merge(uint32_t maxPasses) {
    int32_t result = 0;
    for (uint32_t pass = 0; pass < maxPasses; ++pass) {
        result = MergeOnce();
        if (result < 1)
            break;
    }
    return result;
}

int32_t RectList::MergeOnce() {
    if (appendCount_ != 0)
        return -1; // rectangles from outside may overlap; merging would double-count them
    for (uint32_t i = 0; i < count_; ++i) {
        if (isEmptyRect(*GetAt(i)))
            continue; // cleared: two of them would merge into a cell that never changed
        for (uint32_t j = i + 1; j < count_; ++j) {
            RECT merged;
            if (isEmptyRect(*GetAt(j)) || !mergeNeighbours(*GetAt(i), *GetAt(j), merged))
                continue;
            ClearAt(i);
            ClearAt(j);
            appendInternal(merged);
            RemoveEmpty();
            return 1;
        }
    }
    RemoveEmpty();
    return 0;
}

int32_t RectList::SplitIntoTiles(uint32_t tileSize) {
    if (tileSize < 1 || Merge(UINT32_MAX) < 0)
        return -1;
    for (uint32_t i = 0; i < count_; ++i) {
        const RECT e = *GetAt(i);
        const uint64_t w = static_cast<uint32_t>(static_cast<int64_t>(e.right) - e.left);
        const uint64_t h = static_cast<uint32_t>(static_cast<int64_t>(e.bottom) - e.top);
        if (w <= tileSize && h <= tileSize)
            continue;
        ClearAt(i);
        for (uint64_t y = 0; y < h; y += tileSize) {
            for (uint64_t x = 0; x < w; x += tileSize) {
                const int64_t left = e.left + static_cast<int64_t>(x);
                const int64_t top = e.top + static_cast<int64_t>(y);
                const int64_t right = e.left + static_cast<int64_t>(std::min(x + tileSize, w));
                const int64_t bottom = e.top + static_cast<int64_t>(std::min(y + tileSize, h));
                // Not snapped again: a tile size off the grid would grow the tile back
                // and split it forever.
                appendAsIs(RECT{clampToLong(left), clampToLong(top), clampToLong(right),
                                clampToLong(bottom)});
            }
        }
    }
    RemoveEmpty();
    return 0;
}

int32_t RectList::RemoveEmpty() {
    uint32_t i = 0;
    while (i < count_) {
        if (isEmptyRect(*GetAt(i)))
            RemoveAt(i);
        else
            ++i;
    }
    return 0;
}

int32_t RectList::CollapseToBounds() {
    const RECT bounds = bounds_;
    for (Chunk* chunk = firstChunk_; chunk; chunk = chunk->next)
        for (uint32_t i = 0; i < chunk->used; ++i)
            chunk->entries[i] = RECT{0, 0, 0, 0};
    RemoveEmpty();
    Add(bounds);
    return 0;
}

int32_t RectList::RemoveAll() {
    Chunk* chunk = firstChunk_;
    while (chunk) {
        Chunk* next = chunk->next;
        delete chunk;
        chunk = next;
    }
    firstChunk_ = lastChunk_ = nullptr;
    count_ = 0;
    appendCount_ = 0;
    bounds_ = RECT{0, 0, 0, 0};
    return 0;
}

int32_t RectList::SharesBandWithAny(const RECT& rect) {
    for (Chunk* chunk = firstChunk_; chunk; chunk = chunk->next) {
        for (uint32_t i = 0; i < chunk->used; ++i) {
            const RECT& e = chunk->entries[i];
            if (overlapLength(rect.left, rect.right, e.left, e.right) > 0 ||
                overlapLength(rect.top, rect.bottom, e.top, e.bottom) > 0)
                return 1;
        }
    }
    return 0;
}

int32_t RectList::AddClippedOffset(const RECT& clip, int32_t dx, int32_t dy) {
    // Walk by index over the entries present at the start: Add may clear, collapse or
    // append, and entries it appends are already in place.
    const uint32_t initialCount = count_;
    for (uint32_t i = 0; i < initialCount && i < count_; ++i) {
        const RECT p = intersectRects(*GetAt(i), clip);
        if (static_cast<int64_t>(p.right) - p.left < 1 ||
            static_cast<int64_t>(p.bottom) - p.top < 1)
            continue;
        Add(RECT{clampToLong(static_cast<int64_t>(p.left) + dx),
                 clampToLong(static_cast<int64_t>(p.top) + dy),
                 clampToLong(static_cast<int64_t>(p.right) + dx),
                 clampToLong(static_cast<int64_t>(p.bottom) + dy)});
    }
    return 0;
}

void RectList::ResetAppendCount() {
    appendCount_ = 0;
}

RECT* RectList::GetAt(uint32_t index) {
    if (index >= count_)
        return nullptr;
    uint32_t local = index;
    for (Chunk* chunk = firstChunk_; chunk; chunk = chunk->next) {
        if (local < chunk->used)
            return &chunk->entries[local];
        local -= chunk->used;
    }
    return nullptr;
}

const RECT* RectList::GetBounds() {
    return &bounds_;
}

uint32_t RectList::GetCount() {
    return count_;
}

int32_t RectList::EnsureCapacity() {
    // Drop emptied chunks (never the last), so removals do not leave a chain of holes.
    Chunk* previous = nullptr;
    Chunk* chunk = firstChunk_;
    while (chunk) {
        Chunk* next = chunk->next;
        if (chunk != lastChunk_ && chunk->used == 0) {
            (previous ? previous->next : firstChunk_) = next;
            delete chunk;
        } else {
            previous = chunk;
        }
        chunk = next;
    }
    if (!lastChunk_) {
        firstChunk_ = lastChunk_ = AllocateChunk();
        return lastChunk_ ? 0 : -1;
    }
    if (lastChunk_->used == kChunkEntries) {
        Chunk* fresh = AllocateChunk();
        if (!fresh)
            return -1;
        lastChunk_->next = fresh;
        lastChunk_ = fresh;
    }
    return 0;
}

RectList::Chunk* RectList::AllocateChunk() {
    return new (std::nothrow) Chunk();
}

void RectList::SnapToGrid(RECT& rect) {
    if (gridSize_ < 2)
        return;
    rect.right = snapTrailing(rect.right, rect.left, gridSize_);
    rect.bottom = snapTrailing(rect.bottom, rect.top, gridSize_);
    rect.left = snapLeading(rect.left, gridSize_);
    rect.top = snapLeading(rect.top, gridSize_);
}

} // namespace comsrc

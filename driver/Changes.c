/* The change queue and the record pools. Records come from fixed-size blocks of pool memory
 * that the driver allocates for itself when the surface is enabled, so drawing never
 * allocates; the queue keeps at most MIRVANE_QUEUE_LIMIT records and drops the oldest beyond
 * that. The pool memory is never shown to user mode: the headers, used bits, records and
 * links the driver follows are its own.
 *
 * Inside the pool memory every reference is a 32-bit offset from its start (a pool's first
 * block, a record's link to the next newer one; 0 is none), so the records have the same
 * layout whatever the pointer size. */
#include "MirvanePrivate.h"

typedef struct PoolRegion {
    ULONG start;
    ULONG size;
    ULONG blockSize;
} PoolRegion;

/* In order of increasing block size; they end below 3 MiB. */
static const PoolRegion kRegions[MIRVANE_POOL_COUNT] = {
    {128, 65664, 64},
    {65792, 82048, 512},
    {147840, 786560, 8192},
    {934400, 2097280, 524288},
};

#define POOL_FIXED_BYTES ((ULONG)offsetof(MirvanePool, usedBits))
MIRVANE_STATIC_ASSERT(offsetof(MirvanePool, usedBits) == 28, "seven words before the bits");

/* The header holds one used bit per block, in whole words: 32 bytes leave room for one word;
 * more blocks grow the header, which can leave room for fewer blocks. */
static void SizePool(ULONG regionSize, ULONG blockSize, ULONG* headerBytes, ULONG* count) {
    ULONG n = (regionSize - 32) / blockSize;
    ULONG header = 32;
    if (n > 32) {
        ULONG m = (n + 31) / 32 * 32;
        header = 32 + (m - 32) / 8;
        n = (regionSize - header) / blockSize;
    }
    *headerBytes = header;
    *count = n;
}

static void LockPool(MirvanePool* pool) {
    while (__atomic_exchange_n(&pool->lockWord, 1, __ATOMIC_ACQUIRE) != 0) {
    }
}

static void UnlockPool(MirvanePool* pool) {
    __atomic_store_n(&pool->lockWord, 0, __ATOMIC_RELEASE);
}

/* Allocates the pool memory and lays the four pools out in it, as the regions say. */
BOOL InitPools(MirvanePdev* pdev) {
    const PoolRegion* last = &kRegions[MIRVANE_POOL_COUNT - 1];
    FreePools(pdev);
    pdev->poolMemory =
        (BYTE*)EngAllocMem(FL_ZERO_MEMORY, last->start + last->size, MIRVANE_ALLOC_TAG);
    if (pdev->poolMemory == NULL) {
        return FALSE;
    }
    for (ULONG i = 0; i < MIRVANE_POOL_COUNT; ++i) {
        const PoolRegion* r = &kRegions[i];
        MirvanePool* pool = (MirvanePool*)(pdev->poolMemory + r->start);
        ULONG header, count;
        SizePool(r->size, r->blockSize, &header, &count);
        pool->headerBytes = header;
        pool->totalBlockBytes = r->blockSize * count;
        pool->blockSize = r->blockSize;
        pool->blockCount = count;
        pool->firstBlock = r->start + header;
        pdev->pools[i] = pool;
    }
    pdev->poolCount = MIRVANE_POOL_COUNT;
    return TRUE;
}

/* The queued records go with the memory they lie in. */
void FreePools(MirvanePdev* pdev) {
    pdev->changeHead = pdev->changeTail = NULL;
    pdev->changeCount = 0;
    pdev->poolCount = 0;
    MirvaneZero(pdev->pools, sizeof(pdev->pools));
    if (pdev->poolMemory != NULL) {
        EngFreeMem(pdev->poolMemory);
        pdev->poolMemory = NULL;
    }
}

static LONG TakeBlock(MirvanePool* pool) {
    ULONG words = (pool->blockCount + 31) / 32;
    for (ULONG w = 0; w < words; ++w) {
        ULONG bits = pool->usedBits[w];
        if (bits == 0xFFFFFFFFu) {
            continue;
        }
        ULONG bit = 0;
        while ((bits >> bit) & 1u) {
            ++bit;
        }
        ULONG index = w * 32 + bit;
        if (index >= pool->blockCount) {
            break;
        }
        pool->usedBits[w] |= 1u << bit;
        pool->usedCount++;
        return (LONG)index;
    }
    return -1;
}

void* PoolAlloc(MirvanePdev* pdev, ULONG bytes) {
    for (ULONG i = 0; i < pdev->poolCount; ++i) {
        MirvanePool* pool = pdev->pools[i];
        if (pool->blockSize < bytes) {
            continue;
        }
        LONG index = -1;
        LockPool(pool);
        if (pool->usedCount < pool->blockCount) {
            index = TakeBlock(pool);
        }
        UnlockPool(pool);
        if (index >= 0) {
            return pdev->poolMemory + pool->firstBlock + (ULONG)index * pool->blockSize;
        }
    }
    return NULL;
}

/* Frees a block that one of the pools handed out; anything else is left alone. */
void PoolFree(MirvanePdev* pdev, void* block) {
    BYTE* p = (BYTE*)block;
    for (ULONG i = 0; i < pdev->poolCount; ++i) {
        MirvanePool* pool = pdev->pools[i];
        BYTE* first = pdev->poolMemory + pool->firstBlock;
        if (p < first || p >= first + pool->totalBlockBytes) {
            continue;
        }
        ULONG offset = (ULONG)(p - first);
        if (offset % pool->blockSize != 0) {
            return;
        }
        ULONG index = offset / pool->blockSize;
        ULONG mask = 1u << (index % 32);
        LockPool(pool);
        if ((pool->usedBits[index / 32] & mask) != 0) { /* a second free changes nothing */
            pool->usedBits[index / 32] &= ~mask;
            pool->usedCount--;
        }
        UnlockPool(pool);
        return;
    }
}

static MirvaneChangeRecord* RecordAt(MirvanePdev* pdev, ULONG offset) {
    return offset != 0 ? (MirvaneChangeRecord*)(pdev->poolMemory + offset) : NULL;
}

static ULONG OffsetOf(MirvanePdev* pdev, MirvaneChangeRecord* record) {
    return (ULONG)((BYTE*)record - pdev->poolMemory);
}

void PopChange(MirvanePdev* pdev) {
    MirvaneChangeRecord* head = pdev->changeHead;
    if (head == NULL) {
        return;
    }
    pdev->changeHead = RecordAt(pdev, head->header.link);
    if (pdev->changeHead == NULL) {
        pdev->changeTail = NULL;
        pdev->changeCount = 0;
    } else {
        pdev->changeCount--;
    }
    head->header.link = 0;
    PoolFree(pdev, head);
}

LONG RecordChange(MirvanePdev* pdev, const RECTL* rect) {
    if (pdev == NULL) {
        return -1;
    }
    MirvaneChangeRecord* r = (MirvaneChangeRecord*)PoolAlloc(pdev, MIRVANE_RECT_RECORD_SIZE);
    if (r == NULL) {
        return 0; /* no room: the drawing stands, unrecorded */
    }
    r->header.recordSize = MIRVANE_RECT_RECORD_SIZE;
    r->header.headerSize = MIRVANE_RECORD_HEADER_SIZE;
    r->header.recordType = MIRVANE_RECORD_RECT;
    r->header.link = 0;
    r->payload.payloadSize = MIRVANE_RECT_PAYLOAD_SIZE;
    r->payload.reserved = 0;
    r->payload.rectCount = 1;
    r->payload.rect.left = rect->left < rect->right ? rect->left : rect->right;
    r->payload.rect.right = rect->left < rect->right ? rect->right : rect->left;
    r->payload.rect.top = rect->top < rect->bottom ? rect->top : rect->bottom;
    r->payload.rect.bottom = rect->top < rect->bottom ? rect->bottom : rect->top;
    if (pdev->changeHead == NULL) {
        pdev->changeHead = r;
        pdev->changeCount = 1;
    } else {
        pdev->changeTail->header.link = OffsetOf(pdev, r);
        pdev->changeCount++;
    }
    pdev->changeTail = r;
    while (pdev->changeCount > MIRVANE_QUEUE_LIMIT) {
        PopChange(pdev);
    }
    return 0;
}

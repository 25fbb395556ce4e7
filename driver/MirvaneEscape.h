/* Escape protocol between mirpanel and the mirvane mirror display driver. The one definition
 * shared by the driver (freestanding C or C++) and by the application's mirror mediator.
 *
 * mirpanel reaches the driver only through ExtEscape on a device context of the mirror
 * display; GDI hands each call to DrvEscape. Inputs and outputs are plain byte buffers whose
 * sizes the caller passes (cjIn, cjOut); every value is a little-endian 32-bit integer.
 *
 * Change record (delivered by GET_CHANGE and GET_CHANGES), 44 bytes as the driver makes it:
 *   offset  0  recordSize   total bytes of the record, header included (44)
 *   offset  4  headerSize   offset of the payload from the record start (16)
 *   offset  8  recordType   127 = rectangle record; 16 and 256 are accepted and ignored,
 *                           any other type is skipped
 *   offset 12  link         the driver's own chaining value, meaningless outside it
 *   payload (at headerSize):
 *   offset 16  payloadSize  28
 *   offset 20  reserved     0
 *   offset 24  rectCount    1 (a reader accepts any count that fits in the record)
 *   offset 28  rectangle    left, top, right, bottom (int32; right and bottom exclusive),
 *                           in the mirror surface's pixel coordinates; further rectangles
 *                           would follow 16 bytes apart
 * A delivered buffer is a run of records ended by a 32-bit 0 where the next recordSize would
 * stand. Readers must treat every field as hostile: sizes are bounded by the bytes delivered.
 *
 * Mapped frame buffer: 32 bits per pixel (blue, green, red, unused), top row first, row
 * pitch width * 4 bytes, starting kMirvaneFrameOffset bytes into the video memory.
 */
#ifndef MIRVISTA_MIRVANE_ESCAPE_H
#define MIRVISTA_MIRVANE_ESCAPE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define MIRVANE_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define MIRVANE_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Escape numbers. */
#define USBED_ESC_QUERYESCSUPPORT 8u /* standard QUERYESCSUPPORT */
#define USBED_ESC_IDENTIFY 0x100000u
#define USBED_ESC_COPY_RECT 0x101000u
#define USBED_ESC_GET_BITS 0x101001u /* answered as an unknown escape */
#define USBED_ESC_MAP 0x101002u
#define USBED_ESC_UNMAP 0x101003u
#define USBED_ESC_KEEP_MAP 0x101004u
#define USBED_ESC_MINIPORT_QUERY 0x101006u
#define USBED_ESC_RESERVED_PAIR 0x101101u
#define USBED_ESC_PEEK_CHANGE 0x102001u
#define USBED_ESC_GET_CHANGE 0x102002u
#define USBED_ESC_GET_CHANGES 0x102003u
#define USBED_ESC_FLUSH_CHANGES 0x10200Fu

/* Negative escape results. */
#define USBED_ERR_GENERAL (-1)         /* peek with cjOut < 4; get-one on an empty queue */
#define USBED_ERR_NO_ROOM (-2)         /* output too small for the record to deliver */
#define USBED_ERR_INPUT_SIZE (-101)    /* input too small (COPY_RECT: not exactly 16) */
#define USBED_ERR_RECT (-102)          /* rectangle gives a negative count or leaves the surface */
#define USBED_ERR_OUTPUT_SIZE (-103)   /* output too small */
#define USBED_ERR_MINIPORT (-110)      /* the miniport refused the forwarded request */

/* Identify answers these 8 bytes: "USBED!!" and a 0. */
#define USBED_IDENTIFY_TAG "USBED!!"
#define USBED_IDENTIFY_SIZE 8

/* Video memory layout: the frame buffer starts 4 MiB in; the first 4 MiB are unused (the
 * driver keeps its records elsewhere). MAP returns the miniport's third output value plus
 * this offset. */
#define MIRVANE_FRAME_OFFSET 0x400000u

/* Private miniport requests (buffered I/O control codes of one device type). */
#define MIRVANE_IOCTL_MAP 0x81112040u        /* in: handle, 0, size, 0; out: 12 bytes */
#define MIRVANE_IOCTL_UNMAP 0x81112044u      /* in: handle, 0, 0, address; out: none */
#define MIRVANE_IOCTL_KEEP_MAP 0x81112048u   /* in: none; out: none */
#define MIRVANE_IOCTL_QUERY 0x81112050u      /* in: none; out: 4 bytes */

#define MIRVANE_RECORD_RECT 127u
#define MIRVANE_RECORD_IGNORED_A 16u
#define MIRVANE_RECORD_IGNORED_B 256u

typedef struct MirvaneRecordHeader {
    uint32_t recordSize;
    uint32_t headerSize;
    uint32_t recordType;
    uint32_t link;
} MirvaneRecordHeader;

typedef struct MirvaneRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} MirvaneRect;

typedef struct MirvaneRectPayload {
    uint32_t payloadSize;
    uint32_t reserved;
    uint32_t rectCount;
    MirvaneRect rect; /* the first of rectCount rectangles */
} MirvaneRectPayload;

typedef struct MirvaneChangeRecord {
    MirvaneRecordHeader header;
    MirvaneRectPayload payload;
} MirvaneChangeRecord;

/* Inputs of the escapes that take one. */
typedef struct MirvaneCopyRectIn {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
} MirvaneCopyRectIn;

typedef struct MirvaneMapIn { /* the application sends the handle and a 0 */
    uint32_t process;
    uint32_t zero;
} MirvaneMapIn;

typedef struct MirvaneUnmapIn {
    uint32_t process;
    uint32_t address;
} MirvaneUnmapIn;

typedef struct MirvaneMiniportMapIn {
    uint32_t process;
    uint32_t zero1;
    uint32_t size;
    uint32_t zero2;
} MirvaneMiniportMapIn;

typedef struct MirvaneMiniportMapOut {
    uint32_t value0;
    uint32_t value1;
    uint32_t address; /* plus MIRVANE_FRAME_OFFSET is the frame buffer */
} MirvaneMiniportMapOut;

typedef struct MirvaneMiniportUnmapIn {
    uint32_t process;
    uint32_t zero1;
    uint32_t zero2;
    uint32_t address;
} MirvaneMiniportUnmapIn;

#define MIRVANE_RECORD_HEADER_SIZE 16u
#define MIRVANE_RECT_PAYLOAD_SIZE 28u
#define MIRVANE_RECT_RECORD_SIZE 44u
#define MIRVANE_RECT_STRIDE 16u         /* between rectangles in a payload */
#define MIRVANE_PAYLOAD_RECTS_OFFSET 12u /* first rectangle within the payload */
#define MIRVANE_CHANGES_MIN_BUFFER 16384u /* smallest get-many buffer the client uses */

MIRVANE_STATIC_ASSERT(sizeof(MirvaneRecordHeader) == MIRVANE_RECORD_HEADER_SIZE, "header");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneRecordHeader, recordSize) == 0, "recordSize at 0");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneRecordHeader, headerSize) == 4, "headerSize at 4");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneRecordHeader, recordType) == 8, "recordType at 8");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneRecordHeader, link) == 12, "link at 12");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneRect) == MIRVANE_RECT_STRIDE, "rectangle is 16 bytes");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneRectPayload) == MIRVANE_RECT_PAYLOAD_SIZE, "payload");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneRectPayload, rectCount) == 8, "rectCount at 8");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneRectPayload, rect) == MIRVANE_PAYLOAD_RECTS_OFFSET,
                      "rectangles at payload offset 12");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneChangeRecord) == MIRVANE_RECT_RECORD_SIZE, "44 bytes");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneChangeRecord, payload) == MIRVANE_RECORD_HEADER_SIZE,
                      "payload follows the header");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneChangeRecord, payload.rect) == 28, "rectangle at 28");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneCopyRectIn) == 16, "copy-rect input is exactly 16 bytes");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneMapIn) == 8, "map input");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneUnmapIn) == 8, "unmap input");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneMiniportMapIn) == 16, "miniport map input");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneMiniportMapOut) == 12, "miniport map output");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneMiniportMapOut, address) == 8, "third value");
MIRVANE_STATIC_ASSERT(sizeof(MirvaneMiniportUnmapIn) == 16, "miniport unmap input");
MIRVANE_STATIC_ASSERT(offsetof(MirvaneMiniportUnmapIn, address) == 12, "address last");

#endif /* MIRVISTA_MIRVANE_ESCAPE_H */

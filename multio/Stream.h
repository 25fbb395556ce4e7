// Byte-stream interface of the multio library.
//
// Every stream (serial port, file) derives from multio::Stream. Results are
// signed 32-bit values: a count (>= 0) on success, one of the codes below on
// failure. The base class implements a counting null stream: Read and Write
// only count, everything else gives a fixed answer.
#pragma once

#include <cstdint>

namespace multio {

// Error codes of the stream library (negative results).
enum StreamError : int32_t {
    kStreamFailed = -1,           // operating-system call failed, or the stream is not open
    kStreamAlreadyOpen = -13,     // Open / Attach on a stream that already has a handle
    kStreamNoHandle = -15,        // seek, tell or flush without an open handle
    kStreamUnsupported = -18,     // unsupported flags, origin or request
    kStreamNotImplemented = -125, // this stream does not implement the operation
    kStreamFlushFailed = -128,    // flushing failed
};

// Seek origins.
enum SeekOrigin : int32_t {
    kSeekStart = 0,
    kSeekCurrent = 1,
    kSeekEnd = 2,
};

class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Slots in this order; derived classes override what they implement.
    virtual ~Stream();
    virtual int32_t Open(const char* path, uint32_t flags);
    virtual int32_t Close();
    virtual int32_t Read(void* buffer, int32_t length, uint32_t flags);
    virtual int32_t Write(const void* buffer, int32_t length, uint32_t flags);
    virtual int32_t Seek(int32_t offset, int32_t origin);
    virtual int32_t Tell();
    virtual int32_t Available();
    virtual bool IsEof();
    virtual bool IsFailed();
    virtual int32_t Flush();
    virtual int32_t SetSize(int32_t value);
    virtual bool CanRead();
    virtual bool CanWrite();
    virtual bool CanSeek();
    virtual bool CanQueryEnd();
    virtual bool CanFlush();
    virtual bool CanSetSize();
    virtual int32_t GetReadCount();
    virtual int32_t GetWriteCount();

protected:
    int32_t readCount = 0;
    int32_t writeCount = 0;
};

} // namespace multio

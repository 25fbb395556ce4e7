#pragma once
// Buffered line reader over a multio::Stream. It reads ahead only as far as the current
// request needs, so with a lookahead of -1 it never holds bytes past the line being read.

#include "multio/Stream.h"
#include "multio/TextReader.h"

namespace multio {

// Read-ahead bytes. One slot stays free so that "read == write" always means empty.
struct RingBuffer {
    static constexpr int32_t kCapacity = 4097;
    uint8_t* storage = nullptr;
    int32_t capacity = 0; // 0 when the storage could not be allocated
    uint8_t* storageEnd = nullptr;
    uint8_t* readPos = nullptr;
    uint8_t* writePos = nullptr;
};

class TextReader_Stream : public TextReader {
public:
    explicit TextReader_Stream(Stream* stream);
    ~TextReader_Stream() override;
    TextReader_Stream(const TextReader_Stream&) = delete;
    TextReader_Stream& operator=(const TextReader_Stream&) = delete;

    int32_t ReadChar() override;
    int32_t Read(void* buffer, int32_t length) override;
    std::string ReadLine(int32_t lookahead) override;
    // ReadLine into `line`, whose storage is reused: a loop over many lines allocates once.
    void ReadLineInto(std::string& line, int32_t lookahead);
    std::string ReadLineTrimmed(int32_t lookahead) override;
    bool IsEof() override;

    virtual int32_t Peek(int32_t lookahead);
    virtual int32_t PeekAt(int32_t index, int32_t lookahead);

    // Why the last refill brought nothing: 0 while every refill delivered bytes, 1 after
    // the stream reported no more data, or the stream's negative error. A reader that
    // loops until IsEof checks this so that a failing stream cannot keep it looping.
    int32_t RefillStatus() const { return refillStatus; }

private:
    int32_t Buffered() const;
    int32_t FreeRoom() const;
    uint8_t At(int32_t index) const;
    void Append(const uint8_t* bytes, int32_t count);
    void Consume(uint8_t* out, int32_t count);
    void TakeInto(std::string& text, int32_t count);
    int32_t FindNewline(int32_t from) const;
    int32_t Refill(int32_t index, int32_t lookahead);

    Stream* sourceStream;
    RingBuffer* ring;
    int32_t refillStatus = 0;
};

} // namespace multio

#pragma once
// Line-oriented reading over some byte source. The base versions read nothing.

#include <cstdint>
#include <string>

namespace multio {

class TextReader {
public:
    virtual ~TextReader() = default;
    // Reserved slot: no reader needs a second set-up step yet.
    virtual int32_t Reserved() { return 0; }
    virtual int32_t ReadChar() { return 0; }
    virtual int32_t Read(void* /*buffer*/, int32_t /*length*/) { return 0; }
    virtual std::string ReadLine(int32_t /*lookahead*/) { return std::string(); }
    virtual std::string ReadLineTrimmed(int32_t /*lookahead*/) { return std::string(); }
    virtual bool IsEof() { return false; }
};

} // namespace multio

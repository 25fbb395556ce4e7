#pragma once
// Text output to some byte sink. The base versions write nothing.

#include <cstdint>
#include <string>

namespace multio {

class TextWriter {
public:
    virtual ~TextWriter() = default;
    virtual int32_t WriteString(const char* /*text*/) { return 0; }
    virtual int32_t WriteLine(const std::string& /*line*/) { return 0; }
    virtual int32_t Printf(const char* /*format*/, ...) { return 0; }
    virtual int32_t Flush() { return 0; }
};

} // namespace multio

#pragma once
// Writes strings and formatted text to a multio::Stream, one Write call per piece.

#include "multio/Stream.h"
#include "multio/TextWriter.h"

#include <cstdarg>

namespace multio {

class TextWriter_Stream : public TextWriter {
public:
    static constexpr int32_t kFormatBufferSize = 4096;

    explicit TextWriter_Stream(Stream* stream);
    ~TextWriter_Stream() override;
    TextWriter_Stream(const TextWriter_Stream&) = delete;
    TextWriter_Stream& operator=(const TextWriter_Stream&) = delete;

    int32_t WriteString(const char* text) override;
    int32_t WriteLine(const std::string& line) override;
    // Output longer than kFormatBufferSize - 1 characters is cut there.
    int32_t Printf(const char* format, ...) override;
    int32_t Flush() override;

    virtual int32_t PrintfSized(int32_t size, const char* format, ...);
    virtual Stream* GetStream();

private:
    int32_t FormatAndWrite(char* buffer, int32_t size, const char* format, va_list args);

    Stream* targetStream;
    char* formatBuffer;
    int32_t formatBufferSize;
};

} // namespace multio

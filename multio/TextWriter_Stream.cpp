#include "multio/TextWriter_Stream.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace multio {

// The format buffer is made by the first Printf: most writers only write strings.
TextWriter_Stream::TextWriter_Stream(Stream* stream)
    : targetStream(stream), formatBuffer(nullptr), formatBufferSize(0) {}

TextWriter_Stream::~TextWriter_Stream() {
    delete[] formatBuffer;
}

int32_t TextWriter_Stream::WriteString(const char* text) {
    if (targetStream == nullptr || text == nullptr) {
        return -1;
    }
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>(INT32_MAX)) {
        return -1;
    }
    return targetStream->Write(text, static_cast<int32_t>(length), 0);
}

int32_t TextWriter_Stream::WriteLine(const std::string& line) {
    const int32_t first = WriteString(line.c_str());
    if (first <= 0) {
        return first;
    }
    const int32_t second = WriteString("\n");
    return second <= 0 ? second : first + second;
}

// vsnprintf never writes past `size` and always terminates, so over-long output is cut.
int32_t TextWriter_Stream::FormatAndWrite(char* buffer, int32_t size, const char* format,
                                          va_list args) {
    if (format == nullptr || vsnprintf(buffer, static_cast<size_t>(size), format, args) < 0) {
        return -1;
    }
    return WriteString(buffer);
}

int32_t TextWriter_Stream::Printf(const char* format, ...) {
    if (targetStream == nullptr) {
        return -1;
    }
    if (formatBuffer == nullptr) {
        formatBuffer = new (std::nothrow) char[kFormatBufferSize];
        if (formatBuffer == nullptr) {
            return -1;
        }
        formatBufferSize = kFormatBufferSize;
    }
    va_list args;
    va_start(args, format);
    const int32_t result = FormatAndWrite(formatBuffer, formatBufferSize, format, args);
    va_end(args);
    return result;
}

int32_t TextWriter_Stream::PrintfSized(int32_t size, const char* format, ...) {
    if (targetStream == nullptr || size <= 0) {
        return -1;
    }
    char* buffer = new (std::nothrow) char[static_cast<size_t>(size)];
    if (buffer == nullptr) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    const int32_t result = FormatAndWrite(buffer, size, format, args);
    va_end(args);
    delete[] buffer;
    return result;
}

int32_t TextWriter_Stream::Flush() {
    return targetStream != nullptr ? targetStream->Flush() : -1;
}

Stream* TextWriter_Stream::GetStream() {
    return targetStream;
}

} // namespace multio

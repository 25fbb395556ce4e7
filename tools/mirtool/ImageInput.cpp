#include "tools/mirtool/ImageInput.h"

#include <png.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mirtool {

namespace {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": " + strerror(errno);
        return false;
    }
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok)
        error = path + ": read failed";
    return ok;
}

// Reads the PPM header's next number, skipping white space and comments.
bool HeaderNumber(const std::vector<uint8_t>& bytes, size_t& pos, int64_t& value) {
    for (;;) {
        while (pos < bytes.size() && isspace(bytes[pos]))
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '#') {
            while (pos < bytes.size() && bytes[pos] != '\n')
                ++pos;
            continue;
        }
        break;
    }
    if (pos >= bytes.size() || !isdigit(bytes[pos]))
        return false;
    value = 0;
    while (pos < bytes.size() && isdigit(bytes[pos])) {
        value = value * 10 + (bytes[pos++] - '0');
        if (value > 1000000)
            return false;
    }
    return true;
}

bool SizeAllowed(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide;
}

bool ReadPng(const std::vector<uint8_t>& bytes, const std::string& path, Capture& capture,
             std::string& error) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        error = path + ": " + image.message;
        return false;
    }
    if (!SizeAllowed(image.width, image.height)) {
        png_image_free(&image);
        error = path + ": image size not supported";
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    capture.width = static_cast<int32_t>(image.width);
    capture.height = static_cast<int32_t>(image.height);
    capture.bgrx.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, capture.bgrx.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

} // namespace

bool ParsePpm(const std::vector<uint8_t>& bytes, Capture& capture, std::string& error) {
    size_t pos = 2;
    int64_t width = 0, height = 0, maxval = 0;
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') {
        error = "not an image of a type accepted: PNG, or binary PPM (P6)";
        return false;
    }
    if (!HeaderNumber(bytes, pos, width) || !HeaderNumber(bytes, pos, height) ||
        !HeaderNumber(bytes, pos, maxval) || pos >= bytes.size() || !isspace(bytes[pos])) {
        error = "malformed binary PPM (P6) header";
        return false;
    }
    if (maxval != 255) {
        error = "PPM maxval must be 255";
        return false;
    }
    if (!SizeAllowed(width, height)) {
        error = "image size not supported";
        return false;
    }
    ++pos; // the single white-space byte before the pixels
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (bytes.size() - pos < pixels * 3) {
        error = "PPM pixel data is truncated";
        return false;
    }
    capture.width = static_cast<int32_t>(width);
    capture.height = static_cast<int32_t>(height);
    capture.bgrx.assign(pixels * 4, 0);
    const uint8_t* rgb = bytes.data() + pos;
    for (uint64_t i = 0; i < pixels; ++i) {
        capture.bgrx[i * 4 + 0] = rgb[i * 3 + 2];
        capture.bgrx[i * 4 + 1] = rgb[i * 3 + 1];
        capture.bgrx[i * 4 + 2] = rgb[i * 3 + 0];
    }
    return true;
}

bool ReadCapture(const std::string& path, Capture& capture, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 8 && memcmp(bytes.data(), kPngSignature, 8) == 0)
        return ReadPng(bytes, path, capture, error);
    if (!ParsePpm(bytes, capture, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace mirtool

// Reading a capture from an image file: binary PPM (P6, maxval 255) or PNG, into the
// 32-bit blue, green, red, unused layout of a screen capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirtool {

constexpr int32_t kMaxImageSide = 16384;

struct Capture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bgrx; // rows top to bottom, 4 * width bytes each
};

// The format is taken from the file's first bytes. Returns false with `error` set for an
// unreadable file, a malformed or unsupported image, or one larger than kMaxImageSide.
bool ReadCapture(const std::string& path, Capture& capture, std::string& error);

// Parses a PPM held in memory (used by ReadCapture, and by tests).
bool ParsePpm(const std::vector<uint8_t>& bytes, Capture& capture, std::string& error);

} // namespace mirtool

#include "tools/mirtool/ImageOutput.h"

#include "tools/mirtool/OutputFile.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <strings.h>
#include <vector>

namespace mirtool {

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    size_t n = strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

// P4: rows packed eight pixels a byte, most significant bit first, 1 for dark.
std::vector<uint8_t> PbmBytes(const PanelImage& panel) {
    std::string header = "P4\n128 64\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (int row = 0; row < wire::kPanelRows; ++row) {
        for (int column = 0; column < wire::kPanelColumns; column += 8) {
            uint8_t byte = 0;
            for (int b = 0; b < 8; ++b)
                if (panel.IsDark(column + b, row))
                    byte |= static_cast<uint8_t>(0x80 >> b);
            bytes.push_back(byte);
        }
    }
    return bytes;
}

// Greyscale, 0 dark and 255 light, each panel pixel a square of `scale` pixels.
bool PngBytes(const PanelImage& panel, int scale, std::vector<uint8_t>& bytes, std::string& error) {
    const size_t width = static_cast<size_t>(wire::kPanelColumns) * scale;
    const size_t height = static_cast<size_t>(wire::kPanelRows) * scale;
    std::vector<uint8_t> grey(width * height);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            grey[y * width + x] =
                panel.IsDark(static_cast<int>(x / scale), static_cast<int>(y / scale)) ? 0 : 255;
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_GRAY;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, grey.data(), 0, nullptr)) {
        bytes.resize(size);
        if (png_image_write_to_memory(&image, bytes.data(), &size, 0, grey.data(), 0, nullptr)) {
            bytes.resize(size);
            return true;
        }
    }
    error = std::string("cannot make the PNG: ") + image.message;
    png_image_free(&image);
    return false;
}

} // namespace

ImageFormat FormatForPath(const std::string& path) {
    if (path == "-")
        return ImageFormat::Png;
    if (EndsWith(path, ".pbm"))
        return ImageFormat::Pbm;
    if (EndsWith(path, ".png"))
        return ImageFormat::Png;
    return ImageFormat::Unknown;
}

bool WriteImage(const PanelImage& panel, const std::string& path, ImageFormat format, int scale,
                std::string& error) {
    std::vector<uint8_t> bytes;
    if (format == ImageFormat::Pbm)
        bytes = PbmBytes(panel);
    else if (!PngBytes(panel, scale, bytes, error))
        return false;
    return WriteOutputFile(path, bytes, error);
}

void WriteAscii(const PanelImage& panel, FILE* out) {
    char line[wire::kPanelColumns + 2];
    for (int row = 0; row < wire::kPanelRows; ++row) {
        for (int column = 0; column < wire::kPanelColumns; ++column)
            line[column] = panel.IsDark(column, row) ? '#' : '.';
        line[wire::kPanelColumns] = '\n';
        line[wire::kPanelColumns + 1] = '\0';
        fputs(line, out);
    }
}

} // namespace mirtool

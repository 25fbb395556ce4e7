// Writing the panel out: binary PBM, greyscale PNG, or ASCII art.
#pragma once

#include <cstdio>
#include <string>

#include "tools/mirtool/PanelImage.h"

namespace mirtool {

enum class ImageFormat { Unknown, Pbm, Png };

// Chosen by the file name's extension (".pbm" or ".png", any case).
ImageFormat FormatForPath(const std::string& path);

// Writes the whole file under a temporary name and renames it into place, so that a reader
// never sees half a picture. Returns false with `error` set on failure.
bool WriteImage(const PanelImage& panel, const std::string& path, ImageFormat format, int scale,
                std::string& error);

// 64 lines of 128 characters: '#' dark, '.' light.
void WriteAscii(const PanelImage& panel, FILE* out);

} // namespace mirtool

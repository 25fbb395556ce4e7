// Writing the panel out: binary PBM, greyscale PNG, or ASCII art.
#pragma once

#include <cstdio>
#include <string>

#include "tools/mirtool/PanelImage.h"

namespace mirtool {

enum class ImageFormat { Unknown, Pbm, Png };

// Chosen by the file name's extension (".pbm" or ".png", any case); "-", standard output,
// takes PNG.
ImageFormat FormatForPath(const std::string& path);

// Writes the picture where `path` says (see OutputFile.h: a regular file is replaced whole,
// so that a reader never sees half a picture). Returns false with `error` set on failure.
bool WriteImage(const PanelImage& panel, const std::string& path, ImageFormat format, int scale,
                std::string& error);

// 64 lines of 128 characters: '#' dark, '.' light.
void WriteAscii(const PanelImage& panel, FILE* out);

} // namespace mirtool

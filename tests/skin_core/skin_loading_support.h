// Test support of the skin loading tests: a JPEG writer (libjpeg's compressor, defined in
// skin_loading_test.cpp so that this header stays free of libjpeg's headers). Portable.
#pragma once

#include <string>
#include <vector>

#include "framework/Types.h"

namespace skinloadtest {

// A baseline JPEG file of Width x Height pixels; RGB holds three bytes (R, G, B) per pixel, top
// row first.
std::string EncodeJpeg(int Width, int Height, const std::vector<Byte>& RGB, int Quality = 95);
// A JPEG file of one colour.
std::string SolidJpeg(int Width, int Height, Byte R, Byte G, Byte B);

}  // namespace skinloadtest

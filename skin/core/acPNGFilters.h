// The PNG row filters and the CRC-32 of PNG chunks. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/Types.h"

// The CRC-32 of PNG chunks (the same function as zlib's crc32). Start with 0; a null Buffer gives 0.
std::uint32_t UpdateCRC32(std::uint32_t CRC, const void* Buffer, std::size_t Count);

// Undoes a row's filter (0 none, 1 sub, 2 up, 3 average, 4 Paeth) in place: Line holds the Length
// bytes of the row without its filter byte, Prev the rebuilt row above (all zero above the first
// row of the image or of a pass), Bpp the bytes per complete pixel (at least 1). Filter types of 5
// and more leave the row as stored.
void UnfilterRow(int Filter, Byte* Line, const Byte* Prev, std::size_t Length, int Bpp);

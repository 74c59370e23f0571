// The size a picture file declares in its header, read before the picture is decoded, so that a
// skin load can refuse pictures beyond its pixel budget without reserving their memory. Portable.
//
// Understood: BMP (file header, then a core or info header), PNG (signature and IHDR, its type in
// either letter case) and JPEG (the frame header of the first start-of-frame marker, found by
// walking the marker segments as the decoder does: stray bytes before a marker, any number of fill
// bytes and of segments). Whatever the decoders accept is sized, so that a budget counted from
// headers sees every picture. The stream is read from its position and put back there. The size is
// only what the header claims: the decoder checks the rest and may still refuse the file.
#pragma once

#include "framework/Streams.h"

// True and the declared size (both at least 1) when the data at the stream's position begins a
// BMP, PNG or JPEG header that states one; false for anything else (the decoder then raises its
// own error).
bool PictureSizeOf(TStream& Stream, int& Width, int& Height);

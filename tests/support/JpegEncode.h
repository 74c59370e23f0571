// JPEG data streams made with libjpeg's compressor, for tests that need real JPEG files. Include
// only from portable test sources (it brings libjpeg's headers).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "framework/Types.h"

namespace jpegtest {

struct TEncodeOptions {
  int Quality = 95;
  bool Progressive = false;
  bool Subsampled = true;  // colour: chroma at half resolution both ways
  int RestartRows = 0;     // a restart marker every so many MCU rows
  bool Arithmetic = false;
  bool AdobeMarker = false;  // four components: write the marker that says samples are inverted
};

// Components (1 grey, 3 R G B, 4 C M Y K) bytes per pixel, top row first. A failure of the
// compressor ends the test program with libjpeg's message.
inline std::vector<Byte> EncodeJpeg(int Width, int Height, int Components, const Byte* Pixels,
                                    const TEncodeOptions& O = {}) {
  jpeg_compress_struct C;
  jpeg_error_mgr Err;
  C.err = jpeg_std_error(&Err);
  jpeg_create_compress(&C);
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&C, &Buffer, &Size);
  C.image_width = static_cast<JDIMENSION>(Width);
  C.image_height = static_cast<JDIMENSION>(Height);
  C.input_components = Components;
  C.in_color_space = Components == 1 ? JCS_GRAYSCALE : Components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&C);
  jpeg_set_quality(&C, O.Quality, TRUE);
  if (Components == 4) {
    jpeg_set_colorspace(&C, JCS_CMYK);
    C.write_Adobe_marker = O.AdobeMarker ? TRUE : FALSE;
  }
  if (Components == 3 && !O.Subsampled) C.comp_info[0].h_samp_factor = C.comp_info[0].v_samp_factor = 1;
  if (O.Progressive) jpeg_simple_progression(&C);
  C.restart_in_rows = O.RestartRows;
#ifdef C_ARITH_CODING_SUPPORTED
  C.arith_code = O.Arithmetic ? TRUE : FALSE;
#endif
  jpeg_start_compress(&C, TRUE);
  const std::size_t Stride = static_cast<std::size_t>(Width) * Components;
  while (C.next_scanline < C.image_height) {
    JSAMPROW Row = const_cast<Byte*>(Pixels) + Stride * C.next_scanline;
    jpeg_write_scanlines(&C, &Row, 1);
  }
  jpeg_finish_compress(&C);
  std::vector<Byte> Out(Buffer, Buffer + Size);
  jpeg_destroy_compress(&C);
  std::free(Buffer);
  return Out;
}

}  // namespace jpegtest

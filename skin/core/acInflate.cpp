#include "skin/core/acInflate.h"

#include <libdeflate.h>

TacWholeInflater::TacWholeInflater() : FDecompressor(libdeflate_alloc_decompressor()) {}

TacWholeInflater::~TacWholeInflater() {
  if (FDecompressor != nullptr) libdeflate_free_decompressor(FDecompressor);
}

bool TacWholeInflater::Inflate(const void* In, std::size_t InSize, void* Out, std::size_t OutSize,
                               std::size_t& Used) {
  // Without a decompressor (no memory for it) every stream goes to the streaming inflate.
  if (FDecompressor == nullptr || In == nullptr) return false;
  unsigned char Empty = 0;
  if (Out == nullptr) {
    if (OutSize != 0) return false;
    Out = &Empty;
  }
  std::size_t Taken = 0, Given = 0;
  if (libdeflate_zlib_decompress_ex(FDecompressor, In, InSize, Out, OutSize, &Taken, &Given) != LIBDEFLATE_SUCCESS ||
      Given != OutSize)
    return false;
  Used = Taken;
  return true;
}

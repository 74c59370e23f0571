// Inflating a zlib stream whose inflated size is known, in one call over the whole buffer. Portable.
//
// The PNG reader and the packed-skin reader both know how many bytes a stream must give before
// they inflate it. One call over the whole buffer (libdeflate) is two to three times as fast as
// zlib's streaming inflate, but it judges a stream only as a whole: a stream that is damaged, cut
// short, or gives more or fewer bytes than asked is merely refused, and each reader then reads it
// again with zlib's streaming inflate, which keeps what arrived or names the fault as it always did.
#pragma once

#include <cstddef>

struct libdeflate_decompressor;

class TacWholeInflater {
 public:
  TacWholeInflater();
  ~TacWholeInflater();
  TacWholeInflater(const TacWholeInflater&) = delete;
  TacWholeInflater& operator=(const TacWholeInflater&) = delete;

  // Inflates the zlib stream (header, deflate data, Adler-32) that starts at In and lies within
  // InSize bytes into OutSize bytes at Out. True when the stream is sound, its checksum matches and
  // it gives exactly OutSize bytes; Used is then the number of bytes the stream takes (what follows
  // it is not part of it). False for everything else; Out then holds no defined content.
  bool Inflate(const void* In, std::size_t InSize, void* Out, std::size_t OutSize, std::size_t& Used);

 private:
  libdeflate_decompressor* FDecompressor = nullptr;  // nullptr when it could not be made
};

// The bitmap codec: any bytes read as a BMP (what resources and a damaged one
// hand it); a picture that decodes is written as PNG and as BMP, and the BMP
// written reads back as the same pixels.
#include <cstring>
#include <vector>

#include "device/internal.h"
#include "fuzz.h"

using namespace ce;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::shared_ptr<Surface> s = DecodeBmp(data, size);
  if (s == nullptr) return 0;
  FUZZ_CHECK(s->width > 0 && s->height > 0);
  std::vector<std::uint8_t> png, bmp;
  FUZZ_CHECK(EncodePng(*s, &png));
  FUZZ_CHECK(png.size() > 8 && std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8) == 0);
  FUZZ_CHECK(EncodeBmp(*s, &bmp));
  std::shared_ptr<Surface> back = DecodeBmp(bmp.data(), bmp.size());
  FUZZ_CHECK(back != nullptr && back->width == s->width && back->height == s->height);
  for (int y = 0; y < s->height; ++y)
    FUZZ_CHECK(std::memcmp(back->row(y), s->row(y), std::size_t(s->width) * 4) == 0);
  return 0;
}

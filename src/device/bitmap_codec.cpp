// BMP decoding for the bitmap resources, and BMP/PNG encoding for screenshots.
//
// The decoder reads untrusted bytes: every read is bounds-checked and anything
// malformed or truncated gives null. PNG output picks a filter per row and
// compresses with zlib.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "device/internal.h"

namespace ce {
namespace {

constexpr int kMaxSide = 8192;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitfields = 3;
constexpr std::uint32_t kAlphaBitfields = 6;

std::uint16_t U16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// One channel of a bit-field pixel, scaled to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit Channel(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = m >> shift;
    // Masks with holes are read as if contiguous up to their top bit.
  }
  std::uint32_t Get(std::uint32_t v) const {
    if (max == 0) return 0;
    return (((v & mask) >> shift) * 255 + max / 2) / max;
  }
};

}  // namespace

std::shared_ptr<Surface> DecodeBmp(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return nullptr;
  std::size_t base = 0;    // where the info header starts
  std::size_t bitsAt = 0;  // where the pixel rows start; 0: right after the palette
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    if (size < 14) return nullptr;
    base = 14;
    bitsAt = U32(data + 10);
  }
  if (size - base < 4) return nullptr;
  const std::uint8_t* h = data + base;
  std::uint32_t headerSize = U32(h);
  if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124) {
    return nullptr;
  }
  if (size - base < headerSize) return nullptr;
  long long width, height;
  int bpp;
  std::uint32_t compression = kRgb;
  std::uint32_t colorsUsed = 0;
  bool core = headerSize == 12;
  if (core) {
    width = U16(h + 4);
    height = std::int16_t(U16(h + 6));
    if (U16(h + 8) != 1) return nullptr;
    bpp = U16(h + 10);
  } else {
    width = std::int32_t(U32(h + 4));
    height = std::int32_t(U32(h + 8));
    if (U16(h + 12) != 1) return nullptr;
    bpp = U16(h + 14);
    compression = U32(h + 16);
    colorsUsed = U32(h + 32);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;

  // Bit-field masks: in the header from version 2 on, else after a 40-byte header.
  std::size_t pos = base + headerSize;
  std::uint32_t masks[3] = {0, 0, 0};
  if (compression == kBitfields || compression == kAlphaBitfields) {
    if (bpp != 16 && bpp != 32) return nullptr;
    const std::uint8_t* m = nullptr;
    if (headerSize >= 52) {
      m = h + 40;
    } else {
      std::size_t extra = compression == kAlphaBitfields ? 16 : 12;
      if (size - pos < extra) return nullptr;
      m = data + pos;
      pos += extra;
    }
    masks[0] = U32(m);
    masks[1] = U32(m + 4);
    masks[2] = U32(m + 8);
  } else if (compression == kRgb) {
    if (bpp == 16) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    } else if (bpp == 32) {
      masks[0] = 0xFF0000;
      masks[1] = 0x00FF00;
      masks[2] = 0x0000FF;
    }
  } else {
    return nullptr;  // run-length and embedded JPEG/PNG data are not used by the game
  }

  std::array<std::uint32_t, 256> palette{};
  if (bpp <= 8) {
    std::size_t maxColors = std::size_t(1) << bpp;
    std::size_t colors = colorsUsed == 0 ? maxColors : colorsUsed;
    if (colors > maxColors) return nullptr;
    std::size_t entry = core ? 3 : 4;
    if (size - pos < colors * entry) return nullptr;
    for (std::size_t i = 0; i < colors; ++i) {
      const std::uint8_t* e = data + pos + i * entry;
      palette[i] = (std::uint32_t(e[2]) << 16) | (std::uint32_t(e[1]) << 8) | e[0];
    }
    pos += colors * entry;
  }

  if (bitsAt == 0) bitsAt = pos;
  std::size_t stride = ((std::size_t(width) * bpp + 31) / 32) * 4;
  if (bitsAt > size || (size - bitsAt) / stride < std::size_t(height)) return nullptr;

  auto out = std::make_shared<Surface>(int(width), int(height));
  Channel r(masks[0]), g(masks[1]), b(masks[2]);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = data + bitsAt + std::size_t(y) * stride;
    std::uint32_t* dst = out->row(topDown ? y : int(height) - 1 - y);
    switch (bpp) {
      case 1:
      case 4:
      case 8: {
        int perByte = 8 / bpp;
        std::uint32_t mask = (1u << bpp) - 1;
        for (int x = 0; x < width; ++x) {
          int shift = 8 - bpp * (x % perByte + 1);
          std::uint32_t index = (in[x / perByte] >> shift) & mask;
          dst[x] = palette[index];  // entries past the palette's end are black
        }
        break;
      }
      case 16:
        for (int x = 0; x < width; ++x) {
          std::uint32_t v = U16(in + 2 * x);
          dst[x] = (r.Get(v) << 16) | (g.Get(v) << 8) | b.Get(v);
        }
        break;
      case 24:
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* p = in + 3 * x;
          dst[x] = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
        }
        break;
      case 32:
        for (int x = 0; x < width; ++x) {
          std::uint32_t v = U32(in + 4 * x);
          dst[x] = (r.Get(v) << 16) | (g.Get(v) << 8) | b.Get(v);
        }
        break;
    }
  }
  return out;
}

namespace {

void Put16(std::vector<std::uint8_t>* out, std::uint32_t v) {
  out->push_back(std::uint8_t(v));
  out->push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put32BE(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out->push_back(std::uint8_t(v >> s));
}

// Each PNG row takes the filter whose output has the smallest sum of absolute
// values (the usual heuristic); flat screens and gradients then compress well.
void FilterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t n,
               std::vector<std::uint8_t>* out) {
  constexpr std::size_t bpp = 3;
  std::array<std::vector<std::uint8_t>, 5> trial;
  std::size_t best = 0;
  std::uint64_t bestCost = ~std::uint64_t{0};
  for (std::size_t f = 0; f < trial.size(); ++f) {
    std::vector<std::uint8_t>& t = trial[f];
    t.resize(n);
    std::uint64_t cost = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const int a = i >= bpp ? row[i - bpp] : 0;
      const int b = above != nullptr ? above[i] : 0;
      const int c = i >= bpp && above != nullptr ? above[i - bpp] : 0;
      int predicted = 0;
      switch (f) {
        case 1:
          predicted = a;
          break;
        case 2:
          predicted = b;
          break;
        case 3:
          predicted = (a + b) / 2;
          break;
        case 4: {
          const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
          break;
        }
        default:
          break;
      }
      t[i] = std::uint8_t(row[i] - predicted);
      cost += std::uint64_t(std::abs(int(std::int8_t(t[i]))));
    }
    if (cost < bestCost) {
      bestCost = cost;
      best = f;
    }
  }
  out->push_back(std::uint8_t(best));
  out->insert(out->end(), trial[best].begin(), trial[best].end());
}

void Chunk(std::vector<std::uint8_t>* out, const char* type, const std::vector<std::uint8_t>& body) {
  Put32BE(out, std::uint32_t(body.size()));
  std::size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), body.begin(), body.end());
  Put32BE(out, std::uint32_t(crc32(0, out->data() + start, uInt(out->size() - start))));
}

}  // namespace

bool EncodeBmp(const Surface& s, std::vector<std::uint8_t>* out) {
  if (out == nullptr || s.width <= 0 || s.height <= 0 || s.pixels.size() != std::size_t(s.width) * s.height) {
    return false;
  }
  std::size_t stride = (std::size_t(s.width) * 3 + 3) & ~std::size_t(3);
  std::size_t imageSize = stride * s.height;
  if (imageSize > 0x7FFFFFFF) return false;
  out->clear();
  out->reserve(54 + imageSize);
  out->push_back('B');
  out->push_back('M');
  Put32(out, std::uint32_t(54 + imageSize));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, std::uint32_t(s.width));
  Put32(out, std::uint32_t(s.height));  // bottom-up
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, kRgb);
  Put32(out, std::uint32_t(imageSize));
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = s.height - 1; y >= 0; --y) {
    const std::uint32_t* row = s.row(y);
    for (int x = 0; x < s.width; ++x) {
      out->push_back(std::uint8_t(row[x]));
      out->push_back(std::uint8_t(row[x] >> 8));
      out->push_back(std::uint8_t(row[x] >> 16));
    }
    for (std::size_t pad = std::size_t(s.width) * 3; pad < stride; ++pad) out->push_back(0);
  }
  return true;
}

bool EncodePng(const Surface& s, std::vector<std::uint8_t>* out) {
  if (out == nullptr || s.width <= 0 || s.height <= 0 || s.pixels.size() != std::size_t(s.width) * s.height) {
    return false;
  }
  // The image as PNG rows: a filter byte, then the filtered RGB triples.
  const std::size_t rowBytes = std::size_t(s.width) * 3;
  std::vector<std::uint8_t> rgb(rowBytes * s.height);
  for (int y = 0; y < s.height; ++y) {
    const std::uint32_t* row = s.row(y);
    std::uint8_t* dst = &rgb[rowBytes * std::size_t(y)];
    for (int x = 0; x < s.width; ++x) {
      dst[3 * x] = std::uint8_t(row[x] >> 16);
      dst[3 * x + 1] = std::uint8_t(row[x] >> 8);
      dst[3 * x + 2] = std::uint8_t(row[x]);
    }
  }
  std::vector<std::uint8_t> filtered;
  filtered.reserve((rowBytes + 1) * s.height);
  for (int y = 0; y < s.height; ++y) {
    const std::uint8_t* row = &rgb[rowBytes * std::size_t(y)];
    FilterRow(row, y > 0 ? row - rowBytes : nullptr, rowBytes, &filtered);
  }
  uLongf zSize = compressBound(uLong(filtered.size()));
  std::vector<std::uint8_t> z(zSize);
  if (compress2(z.data(), &zSize, filtered.data(), uLong(filtered.size()), Z_BEST_COMPRESSION) != Z_OK)
    return false;
  z.resize(zSize);

  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  // Assigned, not inserted into an emptied vector: at -O3 GCC 12 sees a copy
  // into no room on that path (-Wstringop-overflow) that never runs.
  out->assign(std::begin(kSignature), std::end(kSignature));
  std::vector<std::uint8_t> header;
  Put32BE(&header, std::uint32_t(s.width));
  Put32BE(&header, std::uint32_t(s.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no interlace
  Chunk(out, "IHDR", header);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return true;
}

}  // namespace ce

// The web build's packed resources (cmake/pack_resource.py).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ce {

// A packed resource (its size as 4 bytes little-endian, then zlib's stream) into
// *out; false, *out empty, for bytes that are not one, or that unpack to more
// than kMaxUnpackedResource or to another size than they say.
constexpr std::size_t kMaxUnpackedResource = 64u << 20;
bool UnpackResource(const std::uint8_t* packed, std::size_t size, std::vector<std::uint8_t>* out);

}  // namespace ce

#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/canvas.hpp"
#include "engine/result.hpp"

namespace pyrelle {

// CRC-32 as PNG chunks use it (reflected polynomial 0xEDB88320, all-ones start, inverted).
std::uint32_t crc32(std::span<const std::uint8_t> bytes);
// Adler-32 of a zlib stream (1 for no data).
std::uint32_t adler32(std::span<const std::uint8_t> bytes);

// A zlib stream holding `raw` in stored (uncompressed) deflate blocks of at most 65535 bytes.
std::vector<std::uint8_t> zlib_stored(std::span<const std::uint8_t> raw);

// The whole PNG file of `image` enlarged `scale` times (nearest neighbour), 8-bit RGB.
std::vector<std::uint8_t> encode_png(const Canvas& image, std::uint32_t scale);

// Writes the file so that a failure (a full disk, say) leaves any earlier file at `path`
// whole and no partial picture behind; a device or pipe is written in place. A failure is
// the system's error text.
Result<void> write_png(const Canvas& image, const std::string& path, std::uint32_t scale);

}  // namespace pyrelle

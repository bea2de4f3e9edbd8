#include "engine/png.hpp"

#include <array>
#include <iterator>

#include "engine/file_replace.hpp"

namespace pyrelle {

namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = make_crc_table();

void put_u32_be(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void put_u16_le(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Length, type, data, then the CRC over type and data.
void put_chunk(std::vector<std::uint8_t>& out, const char (&type)[5],
               std::span<const std::uint8_t> data) {
    put_u32_be(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t type_at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_u32_be(out, crc32(std::span(out).subspan(type_at)));
}

std::vector<std::uint8_t> scanlines(const Canvas& image, std::uint32_t scale) {
    const std::size_t w = static_cast<std::size_t>(image.width) * scale;
    const std::size_t h = static_cast<std::size_t>(image.height) * scale;
    std::vector<std::uint8_t> raw;
    raw.reserve(h * (3 * w + 1));
    for (std::size_t y = 0; y < h; ++y) {
        raw.push_back(0);  // filter type: none
        const std::size_t row = (y / scale) * image.width;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t p = image.pixels[row + x / scale];
            raw.push_back(static_cast<std::uint8_t>(red_of(p)));
            raw.push_back(static_cast<std::uint8_t>(green_of(p)));
            raw.push_back(static_cast<std::uint8_t>(blue_of(p)));
        }
    }
    return raw;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes)
        c = kCrcTable[(c ^ b) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(std::span<const std::uint8_t> bytes) {
    // 5552 is the longest run whose sums cannot overflow 32 bits before reduction.
    constexpr std::size_t kRun = 5552;
    constexpr std::uint32_t kMod = 65521;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::size_t at = 0; at < bytes.size(); at += kRun) {
        const std::size_t end = std::min(bytes.size(), at + kRun);
        for (std::size_t i = at; i < end; ++i) {
            a += bytes[i];
            b += a;
        }
        a %= kMod;
        b %= kMod;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> zlib_stored(std::span<const std::uint8_t> raw) {
    constexpr std::size_t kBlock = 65535;
    const std::size_t blocks = raw.empty() ? 1 : (raw.size() + kBlock - 1) / kBlock;
    std::vector<std::uint8_t> out;
    out.reserve(2 + blocks * 5 + raw.size() + 4);
    out.push_back(0x78);
    out.push_back(0x01);
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t at = i * kBlock;
        const std::size_t len = std::min(kBlock, raw.size() - at);
        out.push_back(i + 1 == blocks ? 1 : 0);
        put_u16_le(out, static_cast<std::uint16_t>(len));
        put_u16_le(out, static_cast<std::uint16_t>(~len));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + len));
    }
    put_u32_be(out, adler32(raw));
    return out;
}

std::vector<std::uint8_t> encode_png(const Canvas& image, std::uint32_t scale) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    const std::vector<std::uint8_t> stream = zlib_stored(scanlines(image, scale));

    std::vector<std::uint8_t> header;
    put_u32_be(header, image.width * scale);
    put_u32_be(header, image.height * scale);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter, no interlace

    std::vector<std::uint8_t> out(std::begin(kSignature), std::end(kSignature));
    out.reserve(8 + 25 + 12 + stream.size() + 12);
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", stream);
    put_chunk(out, "IEND", {});
    return out;
}

Result<void> write_png(const Canvas& image, const std::string& path, std::uint32_t scale) {
    return write_file(path, encode_png(image, scale), WriteRule::PlayersPath);
}

}  // namespace pyrelle

#include "engine/png.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string_view>

namespace pyrelle {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::uint32_t read_u32_be(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | std::uint32_t{b[at + 3]};
}

// Decodes with libpng, an independent decoder that also checks every CRC and the Adler-32.
struct Decoded {
    bool ok = false;
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    std::string error;
};

Decoded decode(const std::vector<std::uint8_t>& file) {
    Decoded d;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        d.error = image.message;
        return d;
    }
    image.format = PNG_FORMAT_RGB;
    d.width = image.width;
    d.height = image.height;
    d.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, d.rgb.data(), 0, nullptr)) {
        d.error = image.message;
        png_image_free(&image);
        return d;
    }
    d.ok = true;
    return d;
}

Canvas random_canvas(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    std::mt19937 gen(seed);
    Canvas c(w, h);
    for (auto& p : c.pixels)
        p = gen();  // the top byte is garbage on purpose: it must be ignored
    return c;
}

// The decoded picture must be the canvas with every pixel repeated scale × scale times.
void expect_enlarged(const Decoded& d, const Canvas& c, std::uint32_t scale) {
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.width, c.width * scale);
    ASSERT_EQ(d.height, c.height * scale);
    for (std::uint32_t y = 0; y < d.height; ++y) {
        for (std::uint32_t x = 0; x < d.width; ++x) {
            const std::uint32_t p = c.pixels[(y / scale) * c.width + x / scale];
            const std::size_t at = (static_cast<std::size_t>(y) * d.width + x) * 3;
            const std::uint32_t got = pack_rgb(d.rgb[at], d.rgb[at + 1], d.rgb[at + 2]);
            ASSERT_EQ(got, p & 0xFFFFFFu) << "at " << x << "," << y << " scale " << scale;
        }
    }
}

TEST(Png, ChecksumsMatchPublishedCheckValues) {
    EXPECT_EQ(crc32(bytes_of("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(bytes_of("")), 0u);
    EXPECT_EQ(crc32(bytes_of("IEND")), 0xAE426082u);  // the CRC every PNG file ends with
    EXPECT_EQ(adler32(bytes_of("Wikipedia")), 0x11E60398u);
    EXPECT_EQ(adler32(bytes_of("")), 1u);
}

TEST(Png, Adler32ReducesLongRunsCorrectly) {
    // Long runs of 0xFF overflow 32-bit sums unless they are reduced often enough.
    // The reference sums in 64 bits by another route: a = 1 + sum, b = n + sum (n - i) * byte_i.
    for (std::size_t n : {5551u, 5552u, 5553u, 100000u, 1555740u}) {
        std::vector<std::uint8_t> data(n, 0xFF);
        std::mt19937 gen(static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n; i += 7)
            data[i] = static_cast<std::uint8_t>(gen());
        std::uint64_t a = 1, b = n % 65521;
        for (std::size_t i = 0; i < n; ++i) {
            a = (a + data[i]) % 65521;
            b = (b + (n - i) % 65521 * data[i]) % 65521;
        }
        EXPECT_EQ(adler32(data), static_cast<std::uint32_t>((b << 16) | a)) << n;
    }
}

TEST(Png, DecodesToTheCanvasEnlarged) {
    const struct {
        std::uint32_t w, h, scale;
    } cases[] = {{1, 1, 1}, {5, 3, 1}, {7, 4, 2}, {16, 9, 3}, {3, 11, 5}};
    for (const auto& k : cases) {
        const Canvas c = random_canvas(k.w, k.h, k.w * 100 + k.h);
        expect_enlarged(decode(encode_png(c, k.scale)), c, k.scale);
    }
}

TEST(Png, HeadlessScreenshotHasTheExpectedSizeAndPicture) {
    const Canvas c = random_canvas(320, 180, 7);
    const std::vector<std::uint8_t> file = encode_png(c, 3);
    EXPECT_EQ(file.size(), 1555923u);
    // IDAT: zlib header, 24 stored blocks (23 full, one of 48435), Adler-32.
    EXPECT_EQ(read_u32_be(file, 33), 2u + 24u * 5u + 1555740u + 4u);
    const std::size_t last_block = 41 + 2 + 23 * (5 + 65535);
    EXPECT_EQ(file[last_block], 1);
    EXPECT_EQ(file[last_block + 1] | (file[last_block + 2] << 8), 48435);
    expect_enlarged(decode(file), c, 3);
}

TEST(Png, OnePixelFileHasTheExactLayout) {
    Canvas c(1, 1);
    c.pixels[0] = 0xAB123456;  // top byte ignored
    const std::vector<std::uint8_t> file = encode_png(c, 1);
    const std::vector<std::uint8_t> raw = {0x00, 0x12, 0x34, 0x56};
    const std::uint32_t adler = adler32(raw);
    std::vector<std::uint8_t> want = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,  // signature
                                      0,    0,   0,   13,  'I',  'H',  'D',  'R',  0, 0, 0,
                                      1,    0,   0,   0,   1,    8,    2,    0,    0, 0};
    const std::uint32_t ihdr_crc = crc32(std::span(want).subspan(12, 17));
    for (int s = 24; s >= 0; s -= 8)
        want.push_back(static_cast<std::uint8_t>(ihdr_crc >> s));
    const std::size_t idat_type = want.size() + 4;
    const std::vector<std::uint8_t> idat = {0,    0,    0,    15,   'I',  'D',  'A',
                                            'T',  0x78, 0x01, 0x01, 0x04, 0x00, 0xFB,
                                            0xFF, 0x00, 0x12, 0x34, 0x56};
    want.insert(want.end(), idat.begin(), idat.end());
    for (int s = 24; s >= 0; s -= 8)
        want.push_back(static_cast<std::uint8_t>(adler >> s));
    const std::uint32_t idat_crc = crc32(std::span(want).subspan(idat_type));
    for (int s = 24; s >= 0; s -= 8)
        want.push_back(static_cast<std::uint8_t>(idat_crc >> s));
    want.insert(want.end(), {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
    EXPECT_EQ(file, want);
    // Adler-32 of 00 12 34 56 by hand: a runs 1, 0x13, 0x47, 0x9D; b sums them to 0xF8.
    EXPECT_EQ(adler, (0xF8u << 16) | 0x9Du);
}

TEST(Png, StoredBlocksSplitAt65535Bytes) {
    struct Case {
        std::size_t raw;
        std::vector<std::pair<std::uint8_t, std::uint16_t>> blocks;  // BFINAL, LEN
    };
    const Case cases[] = {
        {0, {{1, 0}}},
        {4, {{1, 4}}},
        {65535, {{1, 65535}}},
        {65536, {{0, 65535}, {1, 1}}},
        {131070, {{0, 65535}, {1, 65535}}},
        {131071, {{0, 65535}, {0, 65535}, {1, 1}}},
    };
    for (const Case& k : cases) {
        std::vector<std::uint8_t> raw(k.raw);
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = static_cast<std::uint8_t>(i * 31 + 7);
        const std::vector<std::uint8_t> z = zlib_stored(raw);
        ASSERT_EQ(z.size(), 2 + 5 * k.blocks.size() + k.raw + 4) << k.raw;
        EXPECT_EQ(z[0], 0x78);
        EXPECT_EQ(z[1], 0x01);
        EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);
        std::size_t at = 2, data_at = 0;
        for (const auto& [final, len] : k.blocks) {
            EXPECT_EQ(z[at], final) << k.raw;
            EXPECT_EQ(z[at + 1] | (z[at + 2] << 8), len) << k.raw;
            EXPECT_EQ(z[at + 3] | (z[at + 4] << 8), 0xFFFF ^ len) << k.raw;
            EXPECT_TRUE(
                std::equal(raw.begin() + data_at, raw.begin() + data_at + len, z.begin() + at + 5))
                << k.raw;
            at += 5 + len;
            data_at += len;
        }
        EXPECT_EQ(read_u32_be(z, at), adler32(raw)) << k.raw;
    }
}

TEST(Png, ImagesAtTheBlockBoundaryDecode) {
    // 771 rows of 1 + 3 * 28 bytes = 65535 raw bytes; 1024 rows of 1 + 3 * 21 = 65536.
    const struct {
        std::uint32_t w, h;
        std::size_t idat;
    } cases[] = {{28, 771, 2 + 5 + 65535 + 4}, {21, 1024, 2 + 10 + 65536 + 4}};
    for (const auto& k : cases) {
        const Canvas c = random_canvas(k.w, k.h, k.w);
        const std::vector<std::uint8_t> file = encode_png(c, 1);
        EXPECT_EQ(read_u32_be(file, 33), k.idat) << k.w;
        expect_enlarged(decode(file), c, 1);
    }
}

std::vector<std::uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path fresh_dir() {
    char name[] = "/tmp/png_test_XXXXXX";
    const char* made = ::mkdtemp(name);
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

TEST(Png, WritesTheEncodedBytesAndTruncatesAnOldFile) {
    const std::filesystem::path dir = fresh_dir();
    ASSERT_FALSE(dir.empty());
    const std::string path = dir / "shot.png";
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(200000, 'x');  // longer than the new file
    }
    const Canvas c = random_canvas(9, 4, 3);
    EXPECT_TRUE(write_png(c, path, 2).ok());
    const std::vector<std::uint8_t> on_disk = read_file(path);
    EXPECT_EQ(on_disk, encode_png(c, 2));
    expect_enlarged(decode(on_disk), c, 2);
    std::filesystem::remove_all(dir);
}

TEST(Png, UnwritablePathReturnsTheErrorAndWritesNothing) {
    const std::filesystem::path dir = fresh_dir();
    ASSERT_FALSE(dir.empty());
    const Canvas c = random_canvas(4, 4, 1);

    const std::filesystem::path missing = dir / "no_such_dir";
    const auto written = write_png(c, missing / "shot.png", 1);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error(), std::strerror(ENOENT));
    EXPECT_FALSE(std::filesystem::exists(missing));

    const auto is_dir = write_png(c, dir.string(), 1);  // a directory cannot be opened for writing
    ASSERT_FALSE(is_dir.ok());
    EXPECT_EQ(is_dir.error(), std::strerror(EISDIR));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pyrelle

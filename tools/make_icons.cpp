// Draws the game's icon with the game's own renderer: the firefly as it flies, on the cave
// around it, a 16 x 16 crop enlarged to every size the desktop asks for, written with the
// game's PNG writer into DIR/<size>x<size>/apps/NAME.png: the desktop's sizes, or the sizes
// given (multiples of 16: the web page also wants 192 and 512 to be installable).
// Usage: make_icons DIR NAME [SIZE...]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <vector>

#include "engine/png.hpp"
#include "game/generate.hpp"
#include "game/render.hpp"

namespace {

constexpr std::uint64_t kIconSeed = 11;  // a start with rock close by on two sides
constexpr std::int32_t kIconPixels = 16;
constexpr std::uint32_t kDesktopSizes[] = {16, 32, 48, 64, 128, 256};

// The first open cell, row by row, with rock to its left and below: a corner of the cave.
pyrelle::Vec2 corner(const pyrelle::Cave& cave) {
    for (std::int32_t y = 1; y + 1 < cave.height; ++y) {
        for (std::int32_t x = 1; x + 1 < cave.width; ++x) {
            if (pyrelle::is_open(cave, x, y) && !pyrelle::is_open(cave, x - 1, y) &&
                !pyrelle::is_open(cave, x, y + 1) && pyrelle::is_open(cave, x + 1, y - 1)) {
                return {x * 8.0f + 3.0f, y * 8.0f + 3.0f};
            }
        }
    }
    return {cave.width * 4.0f, cave.height * 4.0f};
}

pyrelle::Canvas draw_icon() {
    pyrelle::Level level = pyrelle::generate_level(1, kIconSeed);
    level.message.reset();
    level.firefly_pos = corner(level.cave);
    level.camera = {level.firefly_pos.x - 160.0f, level.firefly_pos.y - 90.0f};
    level.time = 0.35f;  // wings up, body at rest
    pyrelle::WorldRenderer renderer(level);
    pyrelle::Canvas view(320, 180);
    renderer.render(level, view);
    // Where the renderer put the firefly's body (its bob included).
    const auto x =
        static_cast<std::int32_t>(std::floor(level.firefly_pos.x - std::floor(level.camera.x)));
    const auto y = static_cast<std::int32_t>(std::floor(
        level.firefly_pos.y + 0.8f * std::sin(5.0f * level.time) - std::floor(level.camera.y)));
    pyrelle::Canvas icon(kIconPixels, kIconPixels);
    icon.blit(view, x - kIconPixels / 2, y - kIconPixels / 2, 0, 0, kIconPixels, kIconPixels);
    return icon;
}

// The sizes asked for after DIR and NAME, or the desktop's; nothing when one is not a positive
// multiple of the icon's 16 pixels.
std::vector<std::uint32_t> sizes_wanted(int argc, char** argv) {
    if (argc == 3) return {std::begin(kDesktopSizes), std::end(kDesktopSizes)};
    std::vector<std::uint32_t> sizes;
    for (int i = 3; i < argc; ++i) {
        const unsigned long size = std::strtoul(argv[i], nullptr, 10);
        if (size == 0 || size % kIconPixels != 0 || size > 4096) return {};
        sizes.push_back(static_cast<std::uint32_t>(size));
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::uint32_t> sizes =
        argc >= 3 ? sizes_wanted(argc, argv) : std::vector<std::uint32_t>{};
    if (sizes.empty()) {
        std::fprintf(stderr, "usage: make_icons DIR NAME [SIZE...] (multiples of 16)\n");
        return 2;
    }
    const pyrelle::Canvas icon = draw_icon();
    for (const std::uint32_t size : sizes) {
        const std::uint32_t scale = size / kIconPixels;
        const std::filesystem::path dir = std::filesystem::path(argv[1]) /
                                          (std::to_string(size) + "x" + std::to_string(size)) /
                                          "apps";
        std::filesystem::create_directories(dir);
        const std::filesystem::path file = dir / (std::string(argv[2]) + ".png");
        if (const auto written = pyrelle::write_png(icon, file.string(), scale); !written.ok()) {
            std::fprintf(stderr, "make_icons: %s: %s\n", file.c_str(), written.error().c_str());
            return 1;
        }
    }
    return 0;
}

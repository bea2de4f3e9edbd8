#include "game/biome.hpp"

#include <cmath>

#include "game/world.hpp"

namespace pyrelle {

namespace {

struct BiomeData {
    std::string_view name;
    std::string_view hint;
    std::array<std::uint32_t, 5> rock;
    AmbientLight ambient;
};

constexpr BiomeData kBiomes[4] = {
    {"La Grotte",
     "Allume les lanternes",
     {0x1A1620, 0x584E66, 0x9688A2, 0x605668, 0x423A4E},
     {0.035f, 0.03f, 0.06f}},
    {"Les Cristaux",
     "Les cristaux renvoient la lumière",
     {0x121424, 0x464E6E, 0x8296C4, 0x525C7C, 0x363A52},
     {0.03f, 0.035f, 0.075f}},
    {"Le Lac",
     "Les ombres craignent l'eau",
     {0x10181A, 0x3E5250, 0x7C9A8E, 0x4A6058, 0x32403E},
     {0.025f, 0.045f, 0.05f}},
    {"La Source",
     "La Source dort, tout au fond...",
     {0x221E1E, 0x6E645C, 0xC0B096, 0x786E60, 0x544C46},
     {0.05f, 0.045f, 0.04f}},
};

const BiomeData& data_of(Biome biome) {
    return kBiomes[static_cast<std::size_t>(biome) & 3u];
}

constexpr std::uint32_t kLakeSalt = 0x983BB0C1u;

// True when (x, y) is at squared cell distance >= min_sq from every point.
bool far_from_all(std::int32_t x, std::int32_t y, const std::vector<Cell>& points,
                  std::int64_t min_sq) {
    for (const Cell& p : points)
        if (squared_distance(p, Cell{x, y}) < min_sq) return false;
    return true;
}

struct CrystalSpot {
    Cell cell;
    float dx = 0;
    float dy = 0;
};

// The side of rock a crystal clings to, below first; nothing when it touches no rock.
std::optional<CrystalSpot> wall_side(const Cave& cave, std::int32_t x, std::int32_t y) {
    if (!is_open(cave, x, y + 1)) return CrystalSpot{{x, y}, 0.0f, 1.0f};
    if (!is_open(cave, x, y - 1)) return CrystalSpot{{x, y}, 0.0f, -1.0f};
    if (!is_open(cave, x + 1, y)) return CrystalSpot{{x, y}, 1.0f, 0.0f};
    if (!is_open(cave, x - 1, y)) return CrystalSpot{{x, y}, -1.0f, 0.0f};
    return std::nullopt;
}

}  // namespace

Biome biome_of_depth(std::uint32_t depth) {
    if (depth <= 3) return Biome::Grotte;
    if (depth <= 6) return Biome::Cristaux;
    if (depth < kSourceDepth) return Biome::Lac;
    return Biome::Source;
}

std::string_view biome_name(Biome biome) {
    return data_of(biome).name;
}

std::string_view biome_hint(Biome biome) {
    return data_of(biome).hint;
}

const std::array<std::uint32_t, 5>& rock_colours(Biome biome) {
    return data_of(biome).rock;
}

AmbientLight ambient_light(Biome biome) {
    return data_of(biome).ambient;
}

std::vector<Crystal> place_crystals(const Cave& cave, Rng& rng, const std::vector<Cell>& avoid,
                                    std::int32_t target) {
    std::vector<Crystal> crystals;
    if (target <= 0) return crystals;
    std::vector<CrystalSpot> candidates;
    for (std::int32_t y = 0; y < cave.height; ++y) {
        for (std::int32_t x = 0; x < cave.width; ++x) {
            if (!is_open(cave, x, y) || !far_from_all(x, y, avoid, 10)) continue;
            if (const auto spot = wall_side(cave, x, y)) candidates.push_back(*spot);
        }
    }
    if (candidates.empty()) return crystals;
    std::vector<Cell> placed;
    const std::int64_t attempts = static_cast<std::int64_t>(target) * 12;
    const std::int32_t n = static_cast<std::int32_t>(candidates.size());
    for (std::int64_t a = 0; a < attempts && static_cast<std::int32_t>(placed.size()) < target;
         ++a) {
        const CrystalSpot& spot = candidates[static_cast<std::size_t>(rng.range(0, n))];
        if (!far_from_all(spot.cell.x, spot.cell.y, placed, 16)) continue;
        placed.push_back(spot.cell);
        const Vec2 centre = cell_centre(spot.cell.x, spot.cell.y);
        crystals.push_back(Crystal{centre.x + spot.dx * 2.5f, centre.y + spot.dy * 2.5f, spot.dx,
                                   spot.dy, 0.0f, false});
    }
    return crystals;
}

WaterMask place_lakes(const Cave& cave, Rng& rng, const std::vector<Cell>& avoid,
                      std::int32_t lake_count) {
    WaterMask mask{std::vector<std::uint8_t>(cave.tiles.size(), 0)};
    if (lake_count <= 0) return mask;
    std::vector<Cell> candidates;
    for (std::int32_t y = 0; y < cave.height; ++y)
        for (std::int32_t x = 0; x < cave.width; ++x)
            if (is_open(cave, x, y) && clearance(cave, x, y, 2) > 1 &&
                far_from_all(x, y, avoid, 37))
                candidates.push_back({x, y});
    if (candidates.empty()) return mask;
    const std::int32_t n = static_cast<std::int32_t>(candidates.size());
    for (std::int32_t lake = 0; lake < lake_count; ++lake) {
        const Cell centre = candidates[static_cast<std::size_t>(rng.range(0, n))];
        const float r = rng.next_f32() * 2.5f + 2.0f;
        const std::int32_t reach = static_cast<std::int32_t>(std::ceil(r)) + 1;
        for (std::int32_t y = centre.y - reach; y <= centre.y + reach; ++y) {
            for (std::int32_t x = centre.x - reach; x <= centre.x + reach; ++x) {
                if (!is_open(cave, x, y) || !far_from_all(x, y, avoid, 10)) continue;
                // A wobble fixed per cell roughens the outline the same way in every game.
                const float wobble =
                    static_cast<float>(cell_hash(x, y, kLakeSalt) % 100u) / 100.0f - 0.5f;
                const float dx = static_cast<float>(x - centre.x);
                const float dy = static_cast<float>(y - centre.y);
                if (wobble + r >= std::sqrt(dy * dy + dx * dx)) mask.cells[cave.index(x, y)] = 1;
            }
        }
    }
    return mask;
}

}  // namespace pyrelle

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/generate.hpp"

namespace pyrelle {

namespace {

constexpr std::uint8_t kOpen = static_cast<std::uint8_t>(Tile::Open);
constexpr std::uint8_t kRock = static_cast<std::uint8_t>(Tile::Rock);

bool on_outer_rings(const Cave& cave, std::int32_t x, std::int32_t y) {
    return x < 2 || y < 2 || x >= cave.width - 2 || y >= cave.height - 2;
}

void seed_grid(Cave& cave, Rng& rng) {
    for (std::int32_t y = 0; y < cave.height; ++y)
        for (std::int32_t x = 0; x < cave.width; ++x)
            cave.tiles[cave.index(x, y)] =
                on_outer_rings(cave, x, y) || rng.next_f32() < 0.45f ? kRock : kOpen;
}

// Sixteen cells of a row at a time.
using Bytes = std::uint8_t __attribute__((vector_size(16)));

Bytes load(const std::uint8_t* p) {
    Bytes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// One pass of the cellular rule: more than 4 rock neighbours -> rock, exactly 4 -> unchanged,
// fewer -> open. The two outer rings stay rock, so inner cells never look outside the grid.
// Rock is 1 and open 0, so the rock count is the sum of the neighbours' bytes.
void smooth(const Cave& from, Cave& to) {
    const std::int32_t w = from.width;
    const std::int32_t h = from.height;
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t* out = &to.tiles[from.index(0, y)];
        std::fill(out, out + w, kRock);
        if (y < 2 || y >= h - 2) continue;
        const std::uint8_t* up = &from.tiles[from.index(0, y - 1)];
        const std::uint8_t* row = &from.tiles[from.index(0, y)];
        const std::uint8_t* down = &from.tiles[from.index(0, y + 1)];
        std::int32_t x = 2;
        for (; x + 16 <= w - 2; x += 16) {
            const Bytes rock = load(up + x - 1) + load(up + x) + load(up + x + 1) +
                               load(row + x - 1) + load(row + x + 1) + load(down + x - 1) +
                               load(down + x) + load(down + x + 1);
            // Comparisons give all ones or zero per byte.
            const Bytes more = reinterpret_cast<Bytes>(rock > 4);
            const Bytes four = reinterpret_cast<Bytes>(rock == 4);
            const Bytes next = (more & kRock) | (four & load(row + x));
            std::memcpy(out + x, &next, sizeof next);
        }
        for (; x < w - 2; ++x) {
            const int rock = up[x - 1] + up[x] + up[x + 1] + row[x - 1] + row[x + 1] + down[x - 1] +
                             down[x] + down[x + 1];
            out[x] = rock > 4 ? kRock : rock == 4 ? row[x] : kOpen;
        }
    }
}

// Labels the 4-connected open regions in scan order and turns every open cell outside the
// largest one (the last found on equal sizes) into rock. Returns the size kept.
std::size_t keep_largest_region(Cave& cave, std::vector<std::int32_t>& labels,
                                std::vector<std::int32_t>& queue) {
    const std::size_t cells = cave.tiles.size();
    const std::size_t w = static_cast<std::size_t>(cave.width);
    labels.assign(cells, -1);
    queue.resize(cells);
    std::int32_t region_count = 0;
    std::int32_t best_label = -1;
    std::size_t best_size = 0;
    for (std::size_t start = 0; start < cells; ++start) {
        if (cave.tiles[start] != kOpen || labels[start] != -1) continue;
        const std::int32_t label = region_count++;
        std::size_t read = 0, write = 0;
        labels[start] = label;
        queue[write++] = static_cast<std::int32_t>(start);
        while (read < write) {
            // Open cells lie inside the two rock rings, so their neighbours are on the grid.
            const std::size_t i = static_cast<std::size_t>(queue[read++]);
            const std::size_t neighbours[4] = {i + 1, i - 1, i + w, i - w};
            for (const std::size_t j : neighbours) {
                if (cave.tiles[j] != kOpen || labels[j] != -1) continue;
                labels[j] = label;
                queue[write++] = static_cast<std::int32_t>(j);
            }
        }
        if (write >= best_size) {
            best_size = write;
            best_label = label;
        }
    }
    for (std::size_t i = 0; i < cells; ++i)
        if (cave.tiles[i] == kOpen && labels[i] != best_label) cave.tiles[i] = kRock;
    return best_size;
}

}  // namespace

Cave carve_cave(std::int32_t width, std::int32_t height, std::uint64_t seed) {
    const std::size_t cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Cave cave{std::vector<std::uint8_t>(cells, kRock), width, height};
    Cave scratch = cave;
    std::vector<std::int32_t> labels, queue;
    const float needed = 0.32f * static_cast<float>(width * height);
    for (std::uint64_t attempt = 0;; ++attempt) {
        Rng rng = Rng::seeded(seed + 7919u * attempt);
        seed_grid(cave, rng);
        for (int pass = 0; pass < 5; ++pass) {
            smooth(cave, scratch);
            cave.tiles.swap(scratch.tiles);
        }
        const std::size_t kept = keep_largest_region(cave, labels, queue);
        if (kept > 0 && static_cast<float>(kept) >= needed) return cave;
    }
}

}  // namespace pyrelle

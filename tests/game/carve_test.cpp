#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <optional>
#include <vector>

#include "game/generate.hpp"

namespace pyrelle {
namespace {

// A second carving, written another way: a grid padded with rock instead of range checks,
// and union-find instead of flood labelling. The region found last in a row-major scan is
// the one whose first cell comes last.
struct ReferenceCarver {
    std::int32_t w, h;

    std::vector<int> padded_seed(Rng& rng) const {
        std::vector<int> g(static_cast<std::size_t>((w + 2) * (h + 2)), 1);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                const bool ring = x <= 1 || y <= 1 || x >= w - 2 || y >= h - 2;
                at(g, x, y) = ring ? 1 : (rng.next_f32() < 0.45f ? 1 : 0);
            }
        return g;
    }
    int& at(std::vector<int>& g, std::int32_t x, std::int32_t y) const {
        return g[static_cast<std::size_t>((y + 1) * (w + 2) + x + 1)];
    }
    std::vector<int> pass(std::vector<int> g) const {
        std::vector<int> out = g;
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                int rock = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (dx || dy) rock += at(g, x + dx, y + dy);
                int& cell = at(out, x, y);
                if (rock > 4) cell = 1;
                if (rock < 4) cell = 0;
                if (x <= 1 || y <= 1 || x >= w - 2 || y >= h - 2) cell = 1;
            }
        return out;
    }
    static int find(std::vector<int>& parent, int i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    }
    // Returns the open cells kept (as tiles), and whether the attempt passes.
    bool keep(std::vector<int>& g, std::vector<std::uint8_t>& tiles) const {
        const int n = w * h;
        std::vector<int> parent(n);
        std::iota(parent.begin(), parent.end(), 0);
        auto open = [&](int x, int y) { return at(g, x, y) == 0; };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!open(x, y)) continue;
                if (x + 1 < w && open(x + 1, y))
                    parent[find(parent, x + 1 + y * w)] = find(parent, x + y * w);
                if (y + 1 < h && open(x, y + 1))
                    parent[find(parent, x + (y + 1) * w)] = find(parent, x + y * w);
            }
        std::map<int, int> size, first;
        for (int i = 0; i < n; ++i)
            if (open(i % w, i / w)) {
                const int root = find(parent, i);
                if (size[root]++ == 0) first[root] = i;
            }
        int best_root = -1, best_size = 0, best_first = -1;
        for (const auto& [root, s] : size)
            if (s > best_size || (s == best_size && first[root] > best_first)) {
                best_root = root;
                best_size = s;
                best_first = first[root];
            }
        tiles.assign(static_cast<std::size_t>(n), 1);
        for (int i = 0; i < n; ++i)
            if (open(i % w, i / w) && find(parent, i) == best_root) tiles[i] = 0;
        return best_size > 0 && static_cast<float>(best_size) >= 0.32f * static_cast<float>(w * h);
    }
    // The game retries without limit; the reference gives up after kMaxAttempts, far more
    // than any grid here needs, so a broken 32 % test fails instead of hanging.
    static constexpr std::uint64_t kMaxAttempts = 100000;
    std::optional<Cave> carve(std::uint64_t seed, int& attempts) const {
        std::vector<std::uint8_t> tiles;
        for (std::uint64_t k = 0; k < kMaxAttempts; ++k) {
            Rng rng = Rng::seeded(seed + 7919 * k);
            std::vector<int> g = padded_seed(rng);
            for (int p = 0; p < 5; ++p)
                g = pass(g);
            if (keep(g, tiles)) {
                attempts = static_cast<int>(k) + 1;
                return Cave{tiles, w, h};
            }
        }
        return std::nullopt;
    }
};

TEST(CarveCave, MatchesAnIndependentCarving) {
    int retried = 0;
    struct Size {
        std::int32_t w, h;
    };
    for (const Size size : {Size{14, 10}, Size{24, 16}, Size{64, 41}}) {
        const ReferenceCarver reference{size.w, size.h};
        for (std::uint64_t seed = 0; seed < 12; ++seed) {
            int attempts = 0;
            const std::optional<Cave> want =
                reference.carve(seed * 0x9E3779B97F4A7C15ull, attempts);
            ASSERT_TRUE(want) << size.w << "x" << size.h << " seed " << seed;
            retried += attempts > 1;
            EXPECT_EQ(carve_cave(size.w, size.h, seed * 0x9E3779B97F4A7C15ull), *want)
                << size.w << "x" << size.h << " seed " << seed;
        }
    }
    // Small grids fail the 32 % test often, so the retry seeds are exercised too.
    EXPECT_GT(retried, 0);
}

}  // namespace
}  // namespace pyrelle

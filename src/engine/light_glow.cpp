// The rock glow: each rock cell next to lit space copies the weighted light of its
// best-scoring open neighbour within the spread kernel.
#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/light.hpp"
#include "engine/simd.hpp"

namespace pyrelle {

namespace {

constexpr std::int32_t kReach = 3;  // largest offset of the kernel
constexpr std::size_t kLeft = 3;    // border columns of the padded scores
constexpr std::size_t kPadding = 7;
constexpr float kInf = std::numeric_limits<float>::infinity();

// One kernel row as two groups of four columns, dx -3..0 and 1..4: the weights, and which
// lanes belong to the kernel.
struct KernelRow {
    simd::F4 weight[2];
    simd::I4 member[2];
};

int first_lane(simd::I4 mask) {
    for (int lane = 0; lane < 4; ++lane)
        if (mask[lane]) return lane;
    return -1;
}

}  // namespace

void LightMap::glow_rock() {
    using namespace simd;
    const std::size_t w = gw, h = gh;  // locals: the stores below could alias the members
    const std::size_t pw = w + kPadding;
    const LightRgb* lights = light.data();
    const std::uint8_t* rocks = rock.data();
    float* padded = padded_score_.data();
    std::uint8_t* lit = near_lit_.data();
    for (std::size_t j = 0; j < h; ++j) {
        for (std::size_t k = 0; k < w; ++k) {
            const std::size_t i = k + j * w;
            const LightRgb& l = lights[i];
            const bool open = rocks[i] == 0;
            padded[(k + kLeft) + (j + kReach) * pw] = open ? l.r + l.g + l.b : -kInf;
            lit[i] = open && (l.r != 0.0f || l.g != 0.0f || l.b != 0.0f);
        }
    }
    // Rock with no lit open cell in its 7 × 7 neighbourhood stays dark: dilate the lit
    // mask by three cells, along rows into run_ (through a zero-bordered row), then along
    // columns back into near_lit_.
    std::uint8_t* run = run_.data();
    std::uint8_t* row = dilate_row_.data();
    for (std::size_t j = 0; j < h; ++j) {
        std::memcpy(row + kReach, lit + j * w, w);
        std::uint8_t* out = run + j * w;
        for (std::size_t k = 0; k < w; ++k)
            out[k] = row[k] | row[k + 1] | row[k + 2] | row[k + 3] | row[k + 4] | row[k + 5] |
                     row[k + 6];
    }
    for (std::size_t j = 0; j < h; ++j) {
        const std::size_t from = j >= kReach ? j - kReach : 0;
        const std::size_t to = std::min(h - 1, j + kReach);
        std::uint8_t* out = lit + j * w;
        std::memset(out, 0, w);
        for (std::size_t r = from; r <= to; ++r) {
            const std::uint8_t* in = run + r * w;
            for (std::size_t k = 0; k < w; ++k)
                out[k] |= in[k];
        }
    }
    // The kernel laid out by rows, from the spread list (same weights, same order).
    KernelRow rows[2 * kReach + 1] = {};
    float weight_at[2 * kReach + 1][8] = {};
    for (const SpreadEntry& e : spread) {
        const std::int32_t lane = e.dx + kReach;  // 0..6 across the two groups
        KernelRow& row = rows[e.dy + kReach];
        row.weight[lane / 4][lane % 4] = e.weight;
        row.member[lane / 4][lane % 4] = -1;
        weight_at[e.dy + kReach][lane] = e.weight;
    }
    const F4 none = splat(-kInf);
    for (std::size_t j = 0; j < h; ++j) {
        for (std::size_t k = 0; k < w; ++k) {
            const std::size_t i = k + j * w;
            if (rocks[i] == 0 || !lit[i]) continue;
            // Weighted scores of the whole neighbourhood, then the first (in scan order)
            // that equals the best: the same choice as a scan keeping strictly greater ones.
            const float* corner = padded + k + j * pw;  // dx = -3, dy = -3
            F4 scores[2 * kReach + 1][2];
            F4 best = none;
            for (int r = 0; r < 2 * kReach + 1; ++r) {
                for (int g = 0; g < 2; ++g) {
                    const F4 s = select(rows[r].member[g],
                                        load(corner + r * pw + 4 * g) * rows[r].weight[g], none);
                    scores[r][g] = s;
                    best = simd::max(best, s);
                }
            }
            const float top = std::max(std::max(best[0], best[1]), std::max(best[2], best[3]));
            if (!(top > -kInf)) continue;  // no open neighbour
            for (int r = 0; r < 2 * kReach + 1; ++r) {
                int lane = -1, g = 0;
                for (; g < 2 && lane < 0; ++g)
                    lane = first_lane(scores[r][g] == top);
                if (lane < 0) continue;
                const std::int32_t dx = 4 * (g - 1) + lane - kReach;
                const std::int32_t dy = r - kReach;
                const float weight = weight_at[r][dx + kReach];
                const LightRgb& from = lights[static_cast<std::size_t>(
                    static_cast<std::int64_t>(i) + dx + dy * static_cast<std::int64_t>(w))];
                light[i] = {weight * from.r, weight * from.g, weight * from.b};
                break;
            }
        }
    }
}

}  // namespace pyrelle

// The rock glow: each rock cell next to lit space copies the weighted light of its
// best-scoring open neighbour within the spread kernel. The rule scans the kernel in its
// order and keeps a neighbour only when its score is strictly greater than the kept one's,
// so, scores being finite, it picks the first neighbour in scan order whose score equals
// the greatest. That is what is computed here: every score of the neighbourhood at once,
// four lanes at a time, then the maximum, then the first lane holding it. Lanes outside
// the kernel, rock and cells off the grid score -inf and so are never picked; a rock cell
// with no open neighbour keeps its light of 0.
//
// Scores are finite when every open cell's r + g + b is (a weight is at most 1), which the
// game's lights give. The scoring pass checks it; a frame with a NaN or infinite sum
// (from a source of NaN or infinite strength, say) is glowed by the rule itself instead,
// cell by cell (glow_rock_literally), since a NaN is never the maximum nor equal to it and
// an open cell scoring -inf would look like no neighbour.
#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/light/layout.hpp"
#include "engine/light/light_map.hpp"
#include "engine/light/planes.hpp"
#include "engine/simd.hpp"

namespace pyrelle {

namespace {

constexpr std::int32_t kReach = light_layout::kGlowReach;
constexpr int kRows = 2 * kReach + 1;
// A kernel row is read as two groups of four lanes from dx = -kReach: the row must fit, and
// the border of -inf scores around the grid (kLeft columns on the left, kPadding in all per
// row) keeps every read inside the buffer, the last cell's eighth lane included.
constexpr int kLanes = 8;
static_assert(kRows <= kLanes, "a kernel row fits the two groups");
static_assert(light_layout::kGlowLeft == kReach, "lane 0 of a cell reads dx = -kReach");
static_assert(light_layout::kGlowPadding >= kLanes - 1, "the last cell's lanes stay on the row");
constexpr std::size_t kLeft = light_layout::kGlowLeft;
constexpr std::size_t kPadding = light_layout::kGlowPadding;
constexpr float kInf = std::numeric_limits<float>::infinity();

// One kernel row as two groups of four columns, dx -3..0 and 1..4 (lanes 0..7 of the
// row): the weights, and which lanes belong to the kernel.
struct KernelRow {
    simd::F4 weight[2];
    simd::I4 member[2];
};

// The first lane (0..7) of a row of two groups whose score equals `top`, or -1.
int first_lane_at(const simd::F4 (&scores)[2], float top) {
    const int bits = simd::lane_bits(scores[0] == top) | (simd::lane_bits(scores[1] == top) << 4);
    return bits == 0 ? -1 : __builtin_ctz(static_cast<unsigned>(bits));
}

}  // namespace

void LightMap::glow_rock() {
    using namespace simd;
    const std::size_t w = gw, h = gh;  // locals: the stores below could alias the members
    const std::size_t pw = w + kPadding;
    const LightRgb* lights = light.data();
    const std::uint8_t* rocks = rock.data();
    float* padded = glow_.padded_score.data();
    std::uint8_t* lit = glow_.near_lit.data();
    const F4 none = splat(-kInf);
    // Scores, and which open cells are lit at all, four cells at a time where they fit;
    // `odd` finds an open cell whose score is not finite: sum - sum is +0 for a finite sum
    // and NaN otherwise, so its bits are all zero only then.
    I4 odd_lanes = splat(0);
    bool odd = false;
    for (std::size_t j = 0; j < h; ++j) {
        std::size_t k = 0;
        float* score_row = padded + kLeft + (j + kReach) * pw;
        for (; k + 4 <= w; k += 4) {
            const std::size_t i = k + j * w;
            const Planes l = load_planes(lights + i);
            const I4 open = widen_bytes(rocks + i) == 0;
            const F4 sum = (l.r + l.g) + l.b;
            store(score_row + k, select(open, sum, none));
            odd_lanes |= open & reinterpret_cast<I4>(sum - sum);
            narrow_mask(open & ((l.r != 0.0f) | (l.g != 0.0f) | (l.b != 0.0f)), lit + i);
        }
        for (; k < w; ++k) {
            const std::size_t i = k + j * w;
            const LightRgb& l = lights[i];
            const bool open = rocks[i] == 0;
            const float sum = l.r + l.g + l.b;
            score_row[k] = open ? sum : -kInf;
            odd |= open && !(sum - sum == 0.0f);
            lit[i] = open && (l.r != 0.0f || l.g != 0.0f || l.b != 0.0f);
        }
    }
    odd |= lane_bits(odd_lanes != 0) != 0;  // any bit, not only the sign: NaN may be positive
    // Rock with no lit open cell in its 7 × 7 neighbourhood would copy a dark neighbour's
    // light (0 × weight), or keep its 0 with no open neighbour: either way it stays 0, so
    // it is skipped. Dilate the lit mask by three cells, along rows into glow_.run (through a
    // zero-bordered row), then along columns back into glow_.near_lit. The square covers the
    // round kernel.
    static_assert(kReach == 3, "the row dilation below ORs seven cells");
    std::uint8_t* __restrict run = glow_.run.data();
    std::uint8_t* __restrict row = glow_.dilate_row.data();
    for (std::size_t j = 0; j < h; ++j) {
        std::memcpy(row + kReach, lit + j * w, w);
        std::uint8_t* __restrict out = run + j * w;
        for (std::size_t k = 0; k < w; ++k)
            out[k] = row[k] | row[k + 1] | row[k + 2] | row[k + 3] | row[k + 4] | row[k + 5] |
                     row[k + 6];
    }
    for (std::size_t j = 0; j < h; ++j) {
        const std::size_t from = j >= kReach ? j - kReach : 0;
        const std::size_t to = std::min(h - 1, j + kReach);
        std::uint8_t* __restrict out = lit + j * w;
        std::memset(out, 0, w);
        for (std::size_t r = from; r <= to; ++r) {
            const std::uint8_t* __restrict in = run + r * w;
            for (std::size_t k = 0; k < w; ++k)
                out[k] |= in[k];
        }
    }
    if (odd) {
        glow_rock_literally();
        return;
    }
    // The kernel laid out by rows, from the spread list (same weights, same order).
    KernelRow rows[kRows] = {};
    float weight_at[kRows][8] = {};
    for (const SpreadEntry& e : spread) {
        const std::int32_t lane = e.dx + kReach;  // 0..6 across the two groups
        KernelRow& row = rows[e.dy + kReach];
        row.weight[lane / 4][lane % 4] = e.weight;
        row.member[lane / 4][lane % 4] = -1;
        weight_at[e.dy + kReach][lane] = e.weight;
    }
    for (std::size_t j = 0; j < h; ++j) {
        for (std::size_t k = 0; k < w; ++k) {
            const std::size_t i = k + j * w;
            // Most cells are open or far from light: skip eight at a time.
            if ((k & 7u) == 0 && k + 8 <= w) {
                std::uint64_t near;
                std::memcpy(&near, lit + i, sizeof near);
                if (near == 0) {
                    k += 7;
                    continue;
                }
            }
            if (rocks[i] == 0 || !lit[i]) continue;
            const float* corner = padded + k + j * pw;  // dx = -3, dy = -3
            F4 scores[kRows][2];
            F4 best = none;
            for (int r = 0; r < kRows; ++r) {
                for (int g = 0; g < 2; ++g) {
                    const F4 s = select(rows[r].member[g],
                                        load(corner + r * pw + 4 * g) * rows[r].weight[g], none);
                    scores[r][g] = s;
                    best = simd::max(best, s);
                }
            }
            const float top = std::max(std::max(best[0], best[1]), std::max(best[2], best[3]));
            if (!(top > -kInf)) continue;  // no open neighbour
            for (int r = 0; r < kRows; ++r) {
                const int lane = first_lane_at(scores[r], top);
                if (lane < 0) continue;
                const std::int32_t dx = lane - kReach;
                const std::int32_t dy = r - kReach;
                const LightRgb& from = lights[static_cast<std::size_t>(
                    static_cast<std::int64_t>(i) + dx + dy * static_cast<std::int64_t>(w))];
                const float weight = weight_at[r][lane];
                light[i] = {weight * from.r, weight * from.g, weight * from.b};
                break;
            }
        }
    }
}

// The rule itself, for the rock cells near light (near_lit): the first open neighbour in
// the kernel's scan order, then any later one scoring strictly more. Only open cells are
// read and only rock cells written, so the light read is still the sources' alone.
void LightMap::glow_rock_literally() {
    const std::int64_t w = gw, h = gh;
    for (std::int64_t j = 0; j < h; ++j) {
        for (std::int64_t k = 0; k < w; ++k) {
            const std::size_t i = static_cast<std::size_t>(k + j * w);
            if (rock[i] == 0 || !glow_.near_lit[i]) continue;
            bool found = false;
            float best = 0.0f, best_weight = 0.0f;
            LightRgb best_light;
            for (const SpreadEntry& e : spread) {
                const std::int64_t nk = k + e.dx, nj = j + e.dy;
                if (nk < 0 || nj < 0 || nk >= w || nj >= h) continue;
                const std::size_t n = static_cast<std::size_t>(nk + nj * w);
                if (rock[n] != 0) continue;
                const LightRgb& l = light[n];
                const float score = (l.r + l.g + l.b) * e.weight;
                if (!found || score > best) {
                    found = true;
                    best = score;
                    best_weight = e.weight;
                    best_light = l;
                }
            }
            if (found)
                light[i] = {best_weight * best_light.r, best_weight * best_light.g,
                            best_weight * best_light.b};
        }
    }
}

}  // namespace pyrelle

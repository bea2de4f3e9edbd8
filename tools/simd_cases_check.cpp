// Checks the four-lane helpers of engine/simd.hpp lane by lane against the scalar rule each
// one stands for, on a table of awkward values (NaN, signed zeros, infinities, subnormals,
// halves, saturation) and on pseudo-random ones, and prints a hash of every result: SSE2 on
// the desktop, WebAssembly's SIMD and the lane-by-lane fallback in the browser builds (in
// Node.js) must all print the same line. tests/app/builds_test.sh compares them.
//   simd_cases_check
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/simd.hpp"
#include "float_bits.hpp"

namespace {

using pyrelle::simd::F4;
using pyrelle::simd::I4;
using pyrelle::tools::canonical_bits;
using pyrelle::tools::float_of;

struct Tally {
    std::uint32_t cases = 0;
    std::uint32_t mismatches = 0;
    std::uint64_t hash = 1469598103934665603u;  // FNV-1a over every result

    void add(std::uint32_t word) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (word >> shift) & 255u;
            hash *= 1099511628211u;
        }
    }

    void check(const char* what, std::uint32_t got, std::uint32_t want) {
        ++cases;
        add(got);
        if (got == want) return;
        if (++mismatches <= 10)
            std::printf("%s : 0x%08x au lieu de 0x%08x\n", what, static_cast<unsigned>(got),
                        static_cast<unsigned>(want));
    }
};

std::uint32_t next(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void check_floats(Tally& tally, const float a[4], const float b[4]) {
    using namespace pyrelle::simd;
    const F4 va = load(a);
    const F4 vb = load(b);
    const F4 mn = min(va, vb);
    const F4 mx = max(va, vb);
    const F4 root = sqrt(va);
    const I4 clamped = clamp_channel(va);
    const I4 less = va < vb;
    const F4 picked = select(less, va, vb);
    const int bits = lane_bits(less);
    std::uint8_t bytes[4];
    narrow_mask(less, bytes);
    for (int lane = 0; lane < 4; ++lane) {
        const float x = a[lane];
        const float y = b[lane];
        tally.check("min", canonical_bits(mn[lane]), canonical_bits(x < y ? x : y));
        tally.check("max", canonical_bits(mx[lane]), canonical_bits(x > y ? x : y));
        tally.check("sqrt", canonical_bits(root[lane]), canonical_bits(std::sqrt(x)));
        const float low = x > 0.0f ? x : 0.0f;
        const float high = low < 255.0f ? low : 255.0f;
        tally.check("clamp_channel", static_cast<std::uint32_t>(clamped[lane]),
                    static_cast<std::uint32_t>(static_cast<std::int32_t>(high)));
        tally.check("select", canonical_bits(picked[lane]), canonical_bits(x < y ? x : y));
        tally.check("lane_bits", static_cast<std::uint32_t>((bits >> lane) & 1), x < y ? 1u : 0u);
        tally.check("narrow_mask", bytes[lane], x < y ? 1u : 0u);
    }
    // Truncation and rounding where the game uses them: lanes in [0, 2^23).
    float in_range[4];
    for (int lane = 0; lane < 4; ++lane) {
        const float x = std::fabs(a[lane]);
        in_range[lane] = x == x && x < 8388608.0f ? x : 0.5f;
    }
    const F4 v = load(in_range);
    const I4 truncated = truncate(v);
    const I4 rounded = round_non_negative(v);
    for (int lane = 0; lane < 4; ++lane) {
        const float x = in_range[lane];
        tally.check("truncate", static_cast<std::uint32_t>(truncated[lane]),
                    static_cast<std::uint32_t>(static_cast<std::int32_t>(x)));
        tally.check("round_non_negative", static_cast<std::uint32_t>(rounded[lane]),
                    static_cast<std::uint32_t>(static_cast<std::int32_t>(std::round(x))));
    }
}

void check_integers(Tally& tally, const std::uint32_t a[4], const std::uint32_t b[4]) {
    using namespace pyrelle::simd;
    const I4 pixels_a = load_pixels(a);
    const I4 pixels_b = load_pixels(b);
    const I4 sum = add_saturating(pixels_a, pixels_b);
    std::uint8_t raw[4];
    std::memcpy(raw, a, sizeof raw);
    const I4 widened = widen_bytes(raw);
    const I4 green = channel(pixels_a, 8);
    for (int lane = 0; lane < 4; ++lane) {
        std::uint32_t want = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const std::uint32_t c = ((a[lane] >> shift) & 255u) + ((b[lane] >> shift) & 255u);
            want |= (c > 255u ? 255u : c) << shift;
        }
        tally.check("add_saturating", static_cast<std::uint32_t>(sum[lane]), want);
        tally.check("widen_bytes", static_cast<std::uint32_t>(widened[lane]), raw[lane]);
        tally.check("channel", static_cast<std::uint32_t>(green[lane]), (a[lane] >> 8) & 255u);
    }
}

}  // namespace

int main() {
    const float awkward[] = {0.0f,
                             -0.0f,
                             1.0f,
                             -1.0f,
                             0.5f,
                             1.5f,
                             2.5f,
                             0.49999997f,
                             254.99998f,
                             255.0f,
                             255.5f,
                             256.0f,
                             -3.75f,
                             8388607.5f,
                             1e-45f,
                             -1e-45f,
                             1.17549435e-38f,
                             3.4028235e38f,
                             -3.4028235e38f,
                             float_of(0x7f800000u),
                             float_of(0xff800000u),
                             float_of(0x7fc00000u),
                             float_of(0xffc00000u),
                             float_of(0x7f800001u)};
    constexpr int count = sizeof awkward / sizeof awkward[0];
    Tally tally;
    // Every pair of awkward values, four pairs at a time.
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < count; j += 4) {
            float a[4];
            float b[4];
            for (int lane = 0; lane < 4; ++lane) {
                a[lane] = awkward[i];
                b[lane] = awkward[(j + lane) % count];
            }
            check_floats(tally, a, b);
            check_floats(tally, b, a);
        }
    }
    // Pseudo-random bits (NaNs and all) and pseudo-random values in the pictures' range.
    std::uint32_t state = 0x9e3779b9u;
    for (int round = 0; round < 20000; ++round) {
        float a[4];
        float b[4];
        std::uint32_t p[4];
        std::uint32_t q[4];
        for (int lane = 0; lane < 4; ++lane) {
            a[lane] = round % 2 ? float_of(next(state))
                                : static_cast<float>(next(state) % 600000) / 1000.0f - 100.0f;
            b[lane] = round % 2 ? float_of(next(state))
                                : static_cast<float>(next(state) % 600000) / 1000.0f - 100.0f;
            p[lane] = next(state);
            q[lane] = next(state);
        }
        check_floats(tally, a, b);
        check_integers(tally, p, q);
    }
    std::printf("%u cas, %u écarts ; empreinte %016llx\n", static_cast<unsigned>(tally.cases),
                static_cast<unsigned>(tally.mismatches),
                static_cast<unsigned long long>(tally.hash));
    return tally.mismatches == 0 ? 0 : 1;
}

// Checks a build of the float functions against tests/data/float_math_cases.txt without
// GoogleTest or MPFR, so that every build can run it, the browser's too (in Node.js), and
// prints a hash of their results over a few million further arguments: two builds that print
// the same line gave the same bits. Built by every preset (build/web/float_math_cases_check.js
// for Node.js); tests/app/builds_test.sh compares them.
//   float_math_cases_check tests/data/float_math_cases.txt
#include <cstdint>
#include <cstdio>

#include "engine/float_math.hpp"
#include "float_bits.hpp"

namespace {

using pyrelle::tools::bits_of;
using pyrelle::tools::canonical_bits;
using pyrelle::tools::float_of;

bool same(float a, float b) {
    return bits_of(a) == bits_of(b) || (a != a && b != b);
}

float run(const char* name, float x, float y) {
    using namespace pyrelle;
    if (std::strcmp(name, "sin") == 0) return fmath::sin(x);
    if (std::strcmp(name, "cos") == 0) return fmath::cos(x);
    if (std::strcmp(name, "exp") == 0) return fmath::exp(x);
    if (std::strcmp(name, "exp2") == 0) return fmath::exp2(x);
    return fmath::pow(x, y);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: float_math_cases_check tests/data/float_math_cases.txt\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "r");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    char line[128];
    std::int32_t cases = 0, mismatches = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (line[0] == '#') continue;
        char name[8];
        unsigned x = 0, y = 0, want = 0;
        const bool is_pow = std::strncmp(line, "pow ", 4) == 0;
        const int fields = is_pow ? std::sscanf(line, "%7s %x %x %x", name, &x, &y, &want)
                                  : std::sscanf(line, "%7s %x %x", name, &x, &want);
        if (fields != (is_pow ? 4 : 3)) continue;
        ++cases;
        const float got = run(name, float_of(x), float_of(y));
        if (!same(got, float_of(want)) && ++mismatches <= 10)
            std::printf("%s %08X %08X: got %08X, want %08X\n", name, x, y, bits_of(got), want);
    }
    std::fclose(file);
    // FNV-1a over the results of a fixed sweep of bit patterns (NaNs folded to one).
    std::uint32_t hash = 2166136261u;
    const auto mix = [&hash](float v) {
        const std::uint32_t b = canonical_bits(v);
        for (int i = 0; i < 4; ++i)
            hash = (hash ^ ((b >> (8 * i)) & 0xFFu)) * 16777619u;
    };
    std::uint32_t state = 12345;
    for (std::int32_t i = 0; i < 1000000; ++i) {
        state = state * 1664525u + 1013904223u;
        const float x = float_of(state);
        state = state * 1664525u + 1013904223u;
        const float y = float_of(state);
        const float small = static_cast<float>(state >> 8) * 0x1p-20f;  // [0, 16)
        mix(pyrelle::fmath::sin(x));
        mix(pyrelle::fmath::cos(x));
        mix(pyrelle::fmath::sin(small * 1000.0f));
        mix(pyrelle::fmath::exp(x));
        mix(pyrelle::fmath::exp(-small * 6.0f));
        mix(pyrelle::fmath::exp2(small - 8.0f));
        mix(pyrelle::fmath::pow(x, y));
        mix(pyrelle::fmath::pow(small, 0.6f));
    }
    std::printf("%d cases, %d mismatches; sweep hash %08X\n", cases, mismatches, hash);
    return mismatches == 0 ? 0 : 1;
}

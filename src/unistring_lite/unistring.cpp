// libunistring's functions that the game calls, for the web build (see unicode_data.hpp).
#include <unicase.h>
#include <unictype.h>
#include <unistr.h>

#include <cstdlib>

#include "unistring_lite/unicode_data.hpp"

extern "C" {

const uint8_t* u8_check(const uint8_t* s, size_t n) {
    return pyrelle::unistring_lite::first_invalid(s, n);
}

int u8_mbtouc(ucs4_t* puc, const uint8_t* s, size_t n) {
    const pyrelle::unistring_lite::Decoded d = pyrelle::unistring_lite::decode_at(s, n);
    *puc = d.code;
    return d.length;
}

const uint8_t* u8_prev(ucs4_t* puc, const uint8_t* s, const uint8_t* start) {
    char32_t code = 0;
    const uint8_t* at = pyrelle::unistring_lite::previous_start(s, start, code);
    if (at) *puc = code;
    return at;
}

bool uc_is_property_white_space(ucs4_t uc) {
    return pyrelle::unistring_lite::is_white_space(uc);
}

uint32_t* u32_toupper(const uint32_t* s, size_t n, const char*, uninorm_t nf, uint32_t* resultbuf,
                      size_t* lengthp) {
    if (nf != nullptr) std::abort();  // the game never asks for a normalization
    size_t length = 0;
    for (size_t i = 0; i < n; ++i)
        length += pyrelle::unistring_lite::full_upper_case(s[i]).length;
    uint32_t* out = resultbuf;
    if (resultbuf == nullptr || length > *lengthp) {
        out = static_cast<uint32_t*>(std::malloc(length > 0 ? length * sizeof(uint32_t) : 1));
        if (out == nullptr) return nullptr;
    }
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        const pyrelle::unistring_lite::UpperCase upper =
            pyrelle::unistring_lite::full_upper_case(s[i]);
        for (std::uint8_t k = 0; k < upper.length; ++k)
            out[at++] = upper.chars[k];
    }
    *lengthp = length;
    return out;
}

}  // extern "C"

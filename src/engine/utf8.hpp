#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pyrelle {

// One character read from UTF-8 text. A byte that does not start a well-formed
// sequence (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut short)
// reads as one U+FFFD of length 1, so bad text still advances one byte at a time.
struct Utf8Char {
    char32_t code;
    std::size_t length;
};

inline Utf8Char decode_utf8(std::string_view text, std::size_t at) {
    constexpr Utf8Char kInvalid{0xFFFD, 1};
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t code = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, min = 0x10000;
    } else {
        return kInvalid;
    }
    if (text.size() - at < length) return kInvalid;
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t b = byte(at + i);
        if ((b & 0xC0u) != 0x80u) return kInvalid;
        code = (code << 6) | (b & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kInvalid;
    return {code, length};
}

// Calls f(code) for each character of the text, in order.
template <typename F>
void for_each_char(std::string_view text, F&& f) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = decode_utf8(text, at);
        f(c.code);
        at += c.length;
    }
}

}  // namespace pyrelle

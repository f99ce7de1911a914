// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <utility>

namespace codegen {

namespace {

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// The length of the UTF-8 sequence at `at` and its code point, if it is one.
std::pair<std::size_t, std::optional<char32_t>> decode_at(std::string_view s, std::size_t at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        return {1, lead};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07U;
    } else {
        return {1, std::nullopt};
    }
    if (at + length > s.size()) {
        return {s.size() - at, std::nullopt};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto cont = static_cast<unsigned char>(s[at + k]);
        if ((cont & 0xC0U) != 0x80U) {
            return {k, std::nullopt};
        }
        cp = (cp << 6U) | (cont & 0x3FU);
    }
    return {length, cp};
}

EncodingError error_at(std::string_view text, std::size_t at) {
    const auto [length, cp] = decode_at(text, at);
    EncodingError error;
    const auto before = text.substr(0, at);
    error.line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    error.character = std::string(text.substr(at, length));
    error.code_point = cp;
    return error;
}

std::string hex(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

} // namespace

std::variant<std::string, EncodingError> to_windows_1252(std::string_view utf8) {
    iconv_t opened = iconv_open("WINDOWS-1252", "UTF-8");
    // iconv reports failure as the pointer value -1.
    if (opened == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
        return EncodingError{};
    }
    const Converter cd(opened);
    // Every character becomes at most one byte.
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data()); // iconv's signature; the input is not written
    std::size_t in_left = utf8.size();
    char* to = out.data();
    std::size_t out_left = out.size();
    if (iconv(cd.get(), &in, &in_left, &to, &out_left) == static_cast<std::size_t>(-1)) {
        // EILSEQ: not in the code page, or not UTF-8; EINVAL: a cut-off sequence.
        // Either way `in` stops at the character's first byte.
        return error_at(utf8, static_cast<std::size_t>(in - utf8.data()));
    }
    out.resize(out.size() - out_left);
    return out;
}

std::string describe(const EncodingError& error) {
    if (error.line == 0) {
        return "The text cannot be saved: this system has no Windows-1252 converter.";
    }
    std::string what;
    if (!error.code_point) {
        what = "bytes that are not valid text (";
        for (std::size_t k = 0; k < error.character.size(); ++k) {
            what +=
                (k == 0 ? "0x" : " 0x") + hex(static_cast<unsigned char>(error.character[k]), 2);
        }
        what += ")";
    } else {
        const std::string number = "U+" + hex(static_cast<unsigned>(*error.code_point), 4);
        // Control characters are invisible; name them by number alone.
        what = is_control(*error.code_point)
                   ? "the character " + number
                   : "the character \"" + error.character + "\" (" + number + ")";
    }
    return "Line " + std::to_string(error.line) + " holds " + what +
           ", which a Windows-1252 text file cannot hold. Nothing was written.";
}

} // namespace codegen

// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace codegen {

// A character the single-byte file cannot hold.
struct EncodingError {
    int line = 0;                       // 1-based; 0 when no converter was available
    std::string character;              // its UTF-8 bytes as they stand in the text
    std::optional<char32_t> code_point; // std::nullopt when those bytes are not UTF-8
};

// The text as Windows-1252 bytes (iconv), or the first character it cannot hold.
// C0 controls, CR, LF and TAB included, pass unchanged; C1 controls and the
// five code points the code page leaves undefined do not.
std::variant<std::string, EncodingError> to_windows_1252(std::string_view utf8);

// The message shown under "ERROR" when a save is refused for that character.
std::string describe(const EncodingError& error);

} // namespace codegen

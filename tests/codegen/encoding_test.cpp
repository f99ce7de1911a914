// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/encoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

namespace {

using codegen::EncodingError;
using codegen::to_windows_1252;

TEST(EncodingTest, EncodesWhatTheCodePageHolds) {
    const struct {
        const char* utf8;
        std::string bytes;
    } cases[] = {
        {"Penvane1.LCDWriteBitmap 0, 2\r\n\r\n", "Penvane1.LCDWriteBitmap 0, 2\r\n\r\n"},
        {"", ""},
        {"\xE2\x82\xAC", "\x80"},             // euro sign
        {"\xE2\x80\x9A\xC5\xA1", "\x82\x9A"}, // low quote, s caron
        {"\xC2\xA0\xC3\xA9\xC3\xBF", "\xA0\xE9\xFF"},
        // C0 controls are part of the code page: tab, CR, LF and the rest.
        {"\t\x01\x1B\x7F", "\t\x01\x1B\x7F"},
    };
    for (const auto& c : cases) {
        const auto result = to_windows_1252(c.utf8);
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.utf8;
        EXPECT_EQ(std::get<std::string>(result), c.bytes) << c.utf8;
    }
    // A NUL inside the text is a character like the others.
    const auto nul = to_windows_1252(std::string("a\0b", 3));
    ASSERT_TRUE(std::holds_alternative<std::string>(nul));
    EXPECT_EQ(std::get<std::string>(nul), std::string("a\0b", 3));
}

TEST(EncodingTest, RefusesTheFirstCharacterItCannotHold) {
    const struct {
        const char* utf8;
        int line;
        std::string character;
        std::optional<char32_t> code_point;
    } cases[] = {
        {"a\r\nb\r\n\xCE\xA9 \xCE\xA9", 3, "\xCE\xA9", U'\u03A9'},
        {"\xF0\x9F\x98\x80", 1, "\xF0\x9F\x98\x80", U'\U0001F600'},
        // C1 controls: Latin-1 would pass them as bytes that read as other letters.
        {"x\xC2\x80", 1, "\xC2\x80", U'\u0080'},
        {"\r\n\xC2\x81", 2, "\xC2\x81", U'\u0081'},
        // The five code points the code page leaves undefined.
        {"\xC2\x8D", 1, "\xC2\x8D", U'\u008D'},
        {"\xC2\x8F", 1, "\xC2\x8F", U'\u008F'},
        {"\xC2\x90", 1, "\xC2\x90", U'\u0090'},
        {"\xC2\x9D", 1, "\xC2\x9D", U'\u009D'},
        {"\xEF\xBB\xBFtext", 1, "\xEF\xBB\xBF", U'\uFEFF'},
        // Not UTF-8 at all, and a sequence cut off at the end.
        {"ok\n\xFF", 2, "\xFF", std::nullopt},
        {"ok\xE2\x82", 1, "\xE2\x82", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto result = to_windows_1252(c.utf8);
        ASSERT_TRUE(std::holds_alternative<EncodingError>(result)) << c.utf8;
        const auto& error = std::get<EncodingError>(result);
        EXPECT_EQ(error.line, c.line) << c.utf8;
        EXPECT_EQ(error.character, c.character) << c.utf8;
        EXPECT_EQ(error.code_point, c.code_point) << c.utf8;
    }
}

TEST(EncodingTest, DescribesTheRefusedCharacter) {
    const struct {
        EncodingError error;
        const char* message;
    } cases[] = {
        {{4, "\xCE\xA9", U'\u03A9'},
         "Line 4 holds the character \"\xCE\xA9\" (U+03A9), which a Windows-1252 text file "
         "cannot hold. Nothing was written."},
        {{1, "\xC2\x81", U'\u0081'},
         "Line 1 holds the character U+0081, which a Windows-1252 text file cannot hold. "
         "Nothing was written."},
        {{2, "\xF0\x9F\x98\x80", U'\U0001F600'},
         "Line 2 holds the character \"\xF0\x9F\x98\x80\" (U+1F600), which a Windows-1252 text "
         "file cannot hold. Nothing was written."},
        {{3, "\xE2\x82", std::nullopt},
         "Line 3 holds bytes that are not valid text (0xE2 0x82), which a Windows-1252 text "
         "file cannot hold. Nothing was written."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codegen::describe(c.error), c.message);
    }
}

} // namespace

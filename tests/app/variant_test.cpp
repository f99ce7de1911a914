// SPDX-License-Identifier: GPL-2.0-or-later
#include "variant.h"

#include <gtest/gtest.h>

TEST(Variant, EmptyReadsAsZeroAndEmptyText) {
    const Variant v;
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.number(), 0.0);
    EXPECT_EQ(v.text(), "");
    EXPECT_FALSE(v.is(0)); // empty names no slot
}

TEST(Variant, KindsKeepTheirWriterType) {
    EXPECT_TRUE(Variant(std::int16_t{3}).is_integer());
    EXPECT_TRUE(Variant(37.5F).is_float());
    EXPECT_TRUE(Variant("37.5").is_text());
    EXPECT_EQ(Variant(std::int16_t{-12}).text(), "-12");
    EXPECT_EQ(Variant(37.5F).text(), "37.5");
    EXPECT_EQ(Variant(0.1F).text(), "0.1");
}

TEST(Variant, TextArithmeticUsesTheNumberItSpells) {
    EXPECT_EQ(Variant("37.5").number(), 37.5);
    EXPECT_EQ(Variant(" 45 ").number(), 45.0);
    EXPECT_EQ(Variant("-3").number(), -3.0);
    EXPECT_FALSE(Variant("abc").number().has_value());
    EXPECT_FALSE(Variant("").number().has_value());
    EXPECT_FALSE(Variant("12abc").number().has_value());
    EXPECT_TRUE(Variant("3").is(3));
    EXPECT_TRUE(Variant(std::int16_t{10}).is(10));
    EXPECT_FALSE(Variant(2.5F).is(2));
}

TEST(Variant, FloatTextReadsBackToTheSameFloat) {
    for (const float f : {37.5F, 0.1F, 1234.567F, -0.0001F, 9720.0F, 1e-7F, 3.4e38F}) {
        const auto back = parse_number(float_text(f));
        ASSERT_TRUE(back.has_value()) << float_text(f);
        EXPECT_EQ(static_cast<float>(*back), f) << float_text(f);
    }
}

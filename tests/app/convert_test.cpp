// SPDX-License-Identifier: GPL-2.0-or-later
#include "convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

// Independent exact computation: position t / 30.2 = 5t / 151, size
// t / 30.9 = 10t / 309, rounded half to even in integers; negatives give 0.
std::int64_t exact_round(std::int64_t numerator, std::int64_t denominator) {
    if (numerator < 0) {
        return 0;
    }
    const std::int64_t q = numerator / denominator;
    const std::int64_t r = numerator % denominator;
    if (2 * r > denominator) {
        return q + 1;
    }
    if (2 * r < denominator) {
        return q;
    }
    return q % 2 == 0 ? q : q + 1;
}

struct Worked {
    int twips;
    int position;
    int size;
};

TEST(Convert, WorkedTable) {
    const Worked table[] = {
        {-30, 0, 0},      {-1, 0, 0},       {0, 0, 0},        {1, 0, 0},           {15, 0, 0},
        {16, 1, 1},       {46, 2, 1},       {240, 8, 8},      {1500, 50, 49},      {3600, 119, 117},
        {7200, 238, 233}, {7248, 240, 235}, {9720, 322, 315}, {32767, 1085, 1060},
    };
    for (const auto& row : table) {
        const auto t = static_cast<std::int16_t>(row.twips);
        EXPECT_EQ(ConvertNumbers(t, true), row.position) << row.twips;
        EXPECT_EQ(ConvertNumbersSize(t, true), row.size) << row.twips;
    }
}

TEST(Convert, EveryInputMatchesExactRationalAndBothFlagsAgree) {
    int mismatches = 0;
    for (int t = std::numeric_limits<std::int16_t>::min();
         t <= std::numeric_limits<std::int16_t>::max(); ++t) {
        const auto in = static_cast<std::int16_t>(t);
        const auto position = exact_round(5LL * t, 151);
        const auto size = exact_round(10LL * t, 309);
        const auto p_true = ConvertNumbers(in, true);
        const auto s_true = ConvertNumbersSize(in, true);
        if (p_true != position || s_true != size || ConvertNumbers(in, false) != p_true ||
            ConvertNumbersSize(in, false) != s_true) {
            ADD_FAILURE() << "t = " << t << ": position " << p_true << " vs " << position
                          << ", size " << s_true << " vs " << size;
            if (++mismatches > 10) {
                return;
            }
        }
    }
}

TEST(Convert, RoundHalfEven) {
    EXPECT_EQ(round_half_even(0.5), 0);
    EXPECT_EQ(round_half_even(1.5), 2);
    EXPECT_EQ(round_half_even(2.5), 2);
    EXPECT_EQ(round_half_even(-0.5), 0);
    EXPECT_EQ(round_half_even(-1.5), -2);
    EXPECT_EQ(round_half_even(2.4999), 2);
    EXPECT_EQ(round_half_even(2.5001), 3);
}

TEST(Convert, TwipsToInt16RoundsHalfEvenAndClamps) {
    EXPECT_EQ(twips_to_int16(1814.5F), 1814);
    EXPECT_EQ(twips_to_int16(1815.5F), 1816);
    EXPECT_EQ(twips_to_int16(-7.5F), -8);
    EXPECT_EQ(twips_to_int16(32767.4F), 32767);
    EXPECT_EQ(twips_to_int16(40000.0F), 32767);
    EXPECT_EQ(twips_to_int16(-40000.0F), -32768);
    EXPECT_EQ(twips_to_int16(std::numeric_limits<float>::infinity()), 32767);
}

} // namespace

#include <gtest/gtest.h>

#include <cmath>

#include "data/sine_table.h"

TEST(SineTable, FixedEntries) {
    EXPECT_EQ(SineTable::entry(0), 0);
    EXPECT_EQ(SineTable::entry(512), 0);
    for (int i : {255, 256, 257}) EXPECT_EQ(SineTable::entry(i), 32766) << i;
    for (int i : {767, 768, 769}) EXPECT_EQ(SineTable::entry(i), -32766) << i;
}

TEST(SineTable, AgreesWithTheRuleWithinOneUnit) {
    for (int i = 0; i < 1024; ++i) {
        const int rule = static_cast<int>(32767.0 * std::sin(i * 3.1416 / 512.0));
        EXPECT_LE(std::abs(SineTable::table[i] - rule), 1) << i;
    }
}

TEST(SineTable, ReadsWrapModulo1024ForNegativeIndicesToo) {
    for (int k = -3000; k < 3000; k += 7) {
        EXPECT_EQ(SineTable::entry(1024 + k), SineTable::entry(k)) << k;
        EXPECT_EQ(SineTable::entry(k), SineTable::table[((k % 1024) + 1024) % 1024]) << k;
    }
    EXPECT_EQ(SineTable::entry(INT32_MIN), SineTable::entry(0));
    EXPECT_EQ(SineTable::entry(-1), SineTable::table[1023]);
}

TEST(SineTable, CosineIsAQuarterTurnOn) {
    EXPECT_EQ(SineTable::entry(0 + 256), 32766);
    EXPECT_EQ(SineTable::entry(512 + 256), -32766);
}

// SPDX-License-Identifier: Apache-2.0
// Derivative2point, Derivative5point and SquareScale on packed buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "TestBuffers.h"

using namespace qz;

namespace {

class Derivatives : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

std::vector<UINT16> Apply(UINT16 (*derivative)(BYTE *), const std::vector<UINT16> &samples, UINT16 &returned)
{
    qztest::PackedBuffer buffer(samples);
    returned = derivative(buffer.data());
    return buffer.unpack();
}

std::vector<UINT16> Square(const std::vector<UINT16> &samples, UINT16 maxval)
{
    qztest::PackedBuffer buffer(samples);
    SquareScale(buffer.data(), maxval);
    return buffer.unpack();
}

TEST_F(Derivatives, RandomBuffersMatchClosedForms)
{
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        const auto s = qztest::RandomSamples(count, static_cast<std::uint32_t>(count));
        const auto x = [&](long m) { return static_cast<int>(s[static_cast<std::size_t>(std::max(m, 0L))]); };
        std::vector<UINT16> two, five;
        for (long n = 0; n < static_cast<long>(count); ++n) {
            two.push_back(static_cast<UINT16>(std::abs(x(n) - x(n - 1)) / 8));
            five.push_back(static_cast<UINT16>(std::abs((x(n) + x(n - 1) - x(n - 3) - x(n - 4)) / 8)));
        }
        for (const auto &[derivative, expected] : {std::pair{&Derivative2point, two}, std::pair{&Derivative5point, five}}) {
            UINT16 max = 0;
            EXPECT_EQ(Apply(derivative, s, max), expected) << count;
            EXPECT_EQ(max, *std::max_element(expected.begin(), expected.end())) << count;
        }
    }
    UINT16 max = 0;
    Apply(Derivative5point, std::vector<UINT16>(600, 500), max);
    EXPECT_EQ(max, 1);  // a flat buffer still gives a usable divisor
}

TEST_F(Derivatives, SquareScaleMatchesClosedForm)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> scale(1, 1023);
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (std::uint32_t round = 0; round < 4; ++round) {
            const auto maxval = static_cast<UINT16>(scale(random));
            // Even rounds stay within maxval, odd ones also exceed it.
            const auto samples = qztest::RandomSamples(count, round, round % 2 == 0 ? maxval : UINT16{1023});
            const float factor = 1023.0f / static_cast<float>(maxval);
            std::vector<UINT16> expected;
            for (const UINT16 s : samples) {
                const double v = std::min(std::trunc(static_cast<float>(s) * factor), 1023.0f);
                expected.push_back(static_cast<UINT16>(v * v / 1024.0));
            }
            EXPECT_EQ(Square(samples, maxval), expected) << count << " samples, maxval " << maxval;
        }
    }
    EXPECT_EQ(Square(qztest::RandomSamples(600, 9), 0), std::vector<UINT16>(600, 0));
}

}  // namespace

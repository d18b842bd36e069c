// Derivative2point, Derivative5point and SquareScale on packed buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "TestBuffers.h"

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

// Samples 0..599 all `fill` except `values` placed from sample `at` on.
std::vector<UINT16> Placed(UINT16 fill, std::size_t at, const std::vector<UINT16> &values)
{
    std::vector<UINT16> samples(600, fill);
    std::copy(values.begin(), values.end(), samples.begin() + static_cast<long>(at));
    return samples;
}

TEST_F(Derivatives, WorkedExampleStepsAndConstants)
{
    struct Case {
        UINT16 (*derivative)(BYTE *);
        std::vector<UINT16> samples, expected;
        UINT16 max;
    };
    const std::vector<UINT16> example = {100, 108, 124, 100, 92, 92, 92, 60};
    const auto step = [](UINT16 before, UINT16 after) {
        std::vector<UINT16> samples(600, before);
        std::fill(samples.begin() + 200, samples.end(), after);
        return samples;
    };
    const Case cases[] = {
        {Derivative2point, example, {0, 1, 2, 3, 1, 0, 0, 4}, 4},
        {Derivative5point, example, {0, 1, 4, 3, 2, 6, 5, 5}, 6},
        {Derivative5point, step(0, 1023), Placed(0, 200, {127, 255, 255, 127}), 255},
        {Derivative5point, step(1023, 0), Placed(0, 200, {127, 255, 255, 127}), 255},
        {Derivative2point, step(0, 1023), Placed(0, 200, {127}), 127},
        {Derivative2point, step(1023, 0), Placed(0, 200, {127}), 127},
        {Derivative2point, step(100, 107), Placed(0, 200, {0}), 1},  // difference 7
        {Derivative2point, step(100, 108), Placed(0, 200, {1}), 1},  // difference 8
        {Derivative5point, std::vector<UINT16>(600, 500), std::vector<UINT16>(600, 0), 1},
        {Derivative2point, std::vector<UINT16>(600, 500), std::vector<UINT16>(600, 0), 1},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        UINT16 max = 0;
        EXPECT_EQ(Apply(cases[i].derivative, cases[i].samples, max), cases[i].expected) << "case " << i;
        EXPECT_EQ(max, cases[i].max) << "case " << i;
    }
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
}

TEST_F(Derivatives, SquareScaleExamples)
{
    struct Case {
        UINT16 maxval;
        std::vector<UINT16> samples, expected;
    };
    const Case cases[] = {
        {7, {0, 1, 3, 7}, {0, 20, 187, 1022}},
        {1, {0, 1, 0, 1}, {0, 1022, 0, 1022}},
        {100, {50, 100, 0, 99}, {255, 1020, 0, 1000}},
        {127, {127, 64, 1, 0}, {1022, 259, 0, 0}},
        {7, {8, 1023, 7, 6}, {1022, 1022, 1022, 749}},  // above maxval: v saturates at 1023
        {1, {2, 1023, 1, 0}, {1022, 1022, 1022, 0}},
        {0, {0, 1, 500, 1023}, {0, 0, 0, 0}},  // maxval 0: every output is 0
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Square(Placed(0, 40, c.samples), c.maxval), Placed(0, 40, c.expected)) << "maxval " << c.maxval;
    }
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
}

}  // namespace

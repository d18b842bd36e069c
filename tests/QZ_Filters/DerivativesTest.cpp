// Derivative2point, Derivative5point and SquareScale on packed buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "TestBuffers.h"

namespace {

using DerivativeFunction = UINT16 (*)(BYTE *);

struct Derivative {
    const char *name;
    DerivativeFunction run;
};
const Derivative kTwoPoint{"2-point", Derivative2point};
const Derivative kFivePoint{"5-point", Derivative5point};

class DerivativesTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

std::vector<UINT16> Apply(const Derivative &d, const std::vector<UINT16> &samples, UINT16 &returned)
{
    qztest::PackedBuffer buffer(samples);
    returned = d.run(buffer.data());
    return buffer.unpack();
}

std::vector<UINT16> Square(const std::vector<UINT16> &samples, UINT16 maxval)
{
    qztest::PackedBuffer buffer(samples);
    SquareScale(buffer.data(), maxval);
    return buffer.unpack();
}

// Closed forms with x[m < 0] = x[0].
std::vector<UINT16> DerivativeReference(const Derivative &d, const std::vector<UINT16> &samples)
{
    const auto x = [&](long m) { return static_cast<int>(samples[static_cast<std::size_t>(std::max(m, 0L))]); };
    std::vector<UINT16> out;
    for (long n = 0; n < static_cast<long>(samples.size()); ++n) {
        const int y = (d.run == Derivative2point) ? std::abs(x(n) - x(n - 1)) / 8
                                                  : std::abs((x(n) + x(n - 1) - x(n - 3) - x(n - 4)) / 8);
        out.push_back(static_cast<UINT16>(y));
    }
    return out;
}

TEST_F(DerivativesTest, WorkedExample)
{
    const std::vector<UINT16> x = {100, 108, 124, 100, 92, 92, 92, 60};
    struct Case {
        Derivative d;
        std::vector<UINT16> expected;
        UINT16 max;
    };
    const Case cases[] = {
        {kTwoPoint, {0, 1, 2, 3, 1, 0, 0, 4}, 4},
        {kFivePoint, {0, 1, 4, 3, 2, 6, 5, 5}, 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.d.name);
        UINT16 max = 0;
        EXPECT_EQ(Apply(c.d, x, max), c.expected);
        EXPECT_EQ(max, c.max);
    }
}

TEST_F(DerivativesTest, StepResponsesAndConstantBuffers)
{
    struct Case {
        Derivative d;
        UINT16 before;
        UINT16 after;
        std::vector<UINT16> expected;  // samples 200..204
        UINT16 max;
    };
    const Case cases[] = {
        {kFivePoint, 0, 1023, {127, 255, 255, 127, 0}, 255},
        {kFivePoint, 1023, 0, {127, 255, 255, 127, 0}, 255},
        {kTwoPoint, 0, 1023, {127, 0, 0, 0, 0}, 127},
        {kTwoPoint, 1023, 0, {127, 0, 0, 0, 0}, 127},
        {kTwoPoint, 100, 107, {0, 0, 0, 0, 0}, 1},  // difference 7
        {kTwoPoint, 100, 108, {1, 0, 0, 0, 0}, 1},  // difference 8
        {kFivePoint, 500, 500, {0, 0, 0, 0, 0}, 1},
        {kTwoPoint, 500, 500, {0, 0, 0, 0, 0}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.d.name << " " << c.before << " -> " << c.after);
        std::vector<UINT16> samples(600, c.before);
        std::fill(samples.begin() + 200, samples.end(), c.after);
        std::vector<UINT16> expected(600, 0);
        std::copy(c.expected.begin(), c.expected.end(), expected.begin() + 200);
        UINT16 max = 0;
        EXPECT_EQ(Apply(c.d, samples, max), expected);
        EXPECT_EQ(max, c.max);
    }
}

TEST_F(DerivativesTest, RandomBuffersMatchClosedForm)
{
    for (const auto &d : {kTwoPoint, kFivePoint}) {
        for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
            SCOPED_TRACE(testing::Message() << d.name << ", " << count);
            const auto samples = qztest::RandomSamples(count, static_cast<std::uint32_t>(count));
            const auto expected = DerivativeReference(d, samples);
            UINT16 max = 0;
            EXPECT_EQ(Apply(d, samples, max), expected);
            EXPECT_EQ(expected[0], 0);
            EXPECT_EQ(max, *std::max_element(expected.begin(), expected.end()));
        }
    }
}

TEST_F(DerivativesTest, SquareScaleExamples)
{
    struct Case {
        UINT16 maxval;
        std::vector<UINT16> samples;
        std::vector<UINT16> expected;
    };
    const Case cases[] = {
        {7, {0, 1, 3, 7}, {0, 20, 187, 1022}},
        {1, {0, 1, 0, 1}, {0, 1022, 0, 1022}},
        {100, {50, 100, 0, 99}, {255, 1020, 0, 1000}},
        {127, {127, 64, 1, 0}, {1022, 259, 0, 0}},
        // Samples above maxval saturate at v = 1023.
        {7, {8, 1023, 7, 6}, {1022, 1022, 1022, 749}},
        {1, {2, 1023, 1, 0}, {1022, 1022, 1022, 0}},
        // maxval 0: every output is 0.
        {0, {0, 1, 500, 1023}, {0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.maxval);
        std::vector<UINT16> samples(600, 0);
        std::copy(c.samples.begin(), c.samples.end(), samples.begin() + 40);
        std::vector<UINT16> expected(600, 0);
        std::copy(c.expected.begin(), c.expected.end(), expected.begin() + 40);
        EXPECT_EQ(Square(samples, c.maxval), expected);
    }
}

TEST_F(DerivativesTest, SquareScaleMatchesClosedForm)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> scale(1, 1023);
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (int round = 0; round < 4; ++round) {
            const auto maxval = static_cast<UINT16>(scale(random));
            SCOPED_TRACE(testing::Message() << count << " samples, maxval " << maxval);
            // Half the rounds stay within maxval, the others also exceed it.
            const auto samples = qztest::RandomSamples(count, static_cast<std::uint32_t>(round),
                                                       round % 2 == 0 ? maxval : UINT16{1023});
            const float factor = 1023.0f / static_cast<float>(maxval);
            std::vector<UINT16> expected;
            for (const UINT16 s : samples) {
                const double v = std::min(std::trunc(double{static_cast<float>(s) * factor}), 1023.0);
                expected.push_back(static_cast<UINT16>(v * v / 1024.0));
            }
            EXPECT_EQ(Square(samples, maxval), expected);
        }
    }
}

}  // namespace

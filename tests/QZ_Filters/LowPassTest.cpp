// SPDX-License-Identifier: Apache-2.0
// LowPassFilter: the scaling value in single precision and the closed form on
// random buffers (negative sums, clamping at both ends).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "TestBuffers.h"

using namespace qz;

namespace {

class LowPass : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

// Runs the filter with taps c0..c4 and the postscale; `amplitude` receives S.
std::vector<UINT16> Filter(const std::vector<UINT16> &samples, const std::vector<int> &taps, BYTE postscale,
                           UINT16 median, UINT16 &amplitude)
{
    for (std::size_t t = 0; t < 5; ++t) {
        HeartSampling.LPFConstants[t] = static_cast<SBYTE>(taps[t]);
    }
    HeartSampling.LPFPostscale = postscale;
    qztest::PackedBuffer buffer(samples);
    LowPassFilter(buffer.data(), &median, &amplitude);
    return buffer.unpack();
}

// Closed form with x[m] = sample m - median and x[m < 0] = x[0].
std::vector<UINT16> Reference(const std::vector<UINT16> &samples, const std::vector<int> &c, int median, int S)
{
    const auto x = [&](long m) { return samples[static_cast<std::size_t>(std::max(m, 0L))] - median; };
    std::vector<UINT16> out;
    for (long n = 0; n < static_cast<long>(samples.size()); ++n) {
        const int sum = c[0] * (x(n) + x(n - 8)) + c[1] * (x(n - 1) + x(n - 7)) + c[2] * (x(n - 2) + x(n - 6)) +
                        c[3] * (x(n - 3) + x(n - 5)) + c[4] * x(n - 4);
        out.push_back(static_cast<UINT16>(std::clamp(sum / S + median, 0, 1023)));
    }
    return out;
}

TEST_F(LowPass, ScalingValueIsComputedInSinglePrecision)
{
    // (postscale, amplitude, S); the 54, 60 and 13 differ in double precision.
    const UINT16 cases[][3] = {{100, 200, 44}, {90, 4, 1},  {0, 1000, 1},  {33, 750, 54},
                               {61, 450, 60},  {65, 90, 13}, {255, 65535, 37136}};
    for (const auto &c : cases) {
        UINT16 amplitude = c[1];
        Filter(std::vector<UINT16>(600, 10), {0, 0, 0, 0, 0}, static_cast<BYTE>(c[0]), 10, amplitude);
        EXPECT_EQ(amplitude, c[2]) << "postscale " << c[0] << " amplitude " << c[1];
    }
}

TEST_F(LowPass, RandomBuffersMatchClosedForm)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> tap(-128, 127), value(0, 1023), postscale(0, 255);
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (std::uint32_t seed = 1; seed <= 4; ++seed) {
            const std::vector<int> taps = {tap(random), tap(random), tap(random), tap(random), tap(random)};
            const auto samples = qztest::RandomSamples(count, seed);
            const auto median = static_cast<UINT16>(value(random));
            auto amplitude = static_cast<UINT16>(value(random));
            const auto out = Filter(samples, taps, static_cast<BYTE>(postscale(random)), median, amplitude);
            EXPECT_EQ(out, Reference(samples, taps, median, amplitude)) << count << " samples, seed " << seed;
        }
    }
}

}  // namespace

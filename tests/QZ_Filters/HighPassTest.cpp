// SPDX-License-Identifier: Apache-2.0
// HighPassFilter: the output clip boundaries, non-finite values and the
// recurrence on random buffers (the 16-bit numerator wrap included).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "TestBuffers.h"

using namespace qz;

namespace {

struct Coefficients {
    BYTE B0, B1;
    float A0, A1, A2;
};

constexpr float kInfinity = std::numeric_limits<float>::infinity();

class HighPass : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

std::vector<UINT16> Filter(const std::vector<UINT16> &samples, const Coefficients &k)
{
    HeartSampling.HPFConstantsB[0] = k.B0;
    HeartSampling.HPFConstantsB[1] = k.B1;
    HeartSampling.HPFConstantsA[0] = k.A0;
    HeartSampling.HPFConstantsA[1] = k.A1;
    HeartSampling.HPFConstantsA[2] = k.A2;
    qztest::PackedBuffer buffer(samples);
    const UINT16 unused = 0;
    HighPassFilter(buffer.data(), &unused, &unused);
    return buffer.unpack();
}

// Recurrence with x[m < 0] = x[0] and y[m < 0] = 0; NaN is written as 500.
std::vector<UINT16> Reference(const std::vector<UINT16> &samples, const Coefficients &k)
{
    const auto x = [&](long m) { return static_cast<int>(samples[static_cast<std::size_t>(std::max(m, 0L))]); };
    float y1 = 0.0f, y2 = 0.0f, y3 = 0.0f;
    std::vector<UINT16> out;
    for (long n = 0; n < static_cast<long>(samples.size()); ++n) {
        const auto r = static_cast<std::int16_t>(k.B0 * (x(n) - x(n - 3)) - k.B1 * (x(n - 1) - x(n - 2)));
        const float y = static_cast<float>(r) - k.A0 * y1 - k.A1 * y2 - k.A2 * y3;
        y3 = y2;
        y2 = y1;
        y1 = y;
        out.push_back(static_cast<UINT16>(std::isnan(y) ? 500.0 : std::clamp(std::trunc(y) + 500.0, 0.0, 1023.0)));
    }
    return out;
}

TEST_F(HighPass, FilterValuesAreTruncatedOffsetAndSaturated)
{
    // Input 0, 1, 1, ... with B0 = 1: y[1] = 1, and y[2] = 1 - A0 is written at sample 2.
    const std::pair<float, UINT16> cases[] = {
        {-522.9f, 1023}, {-522.0f, 1023}, {-521.9f, 1022},  // 523.9, 523.0, 522.9
        {501.9f, 0},     {502.0f, 0},     {500.9f, 1},      // -500.9, -501.0, -499.9
        {-22.7f, 523},   {-39999.0f, 1023}, {40001.0f, 0},  // 23.7, 40000, -40000
    };
    std::vector<UINT16> samples(600, 1);
    samples[0] = 0;
    for (const auto &[A0, expected] : cases) {
        const auto out = Filter(samples, {1, 0, A0, 0.0f, 0.0f});
        EXPECT_EQ(out[1], 501);
        EXPECT_EQ(out[2], expected) << "A0 " << A0;
    }
    // A0 = 1e30: y = 0, 1, 1 - 1e30, +inf, -inf, then 0 * inf through the zero tap A1 gives NaN.
    const auto diverging = Filter(samples, {1, 0, 1e30f, 0.0f, 0.0f});
    EXPECT_EQ(std::vector<UINT16>(diverging.begin(), diverging.begin() + 6),
              (std::vector<UINT16>{500, 501, 0, 1023, 0, 500}));
    // An infinite tap times the zero start-up history is NaN, and NaN stays in the feedback.
    EXPECT_EQ(Filter(samples, {1, 0, kInfinity, 0.0f, 0.0f}), std::vector<UINT16>(600, 500));
}

TEST_F(HighPass, RandomBuffersMatchRecurrence)
{
    const Coefficients sets[] = {
        {4, 2, -0.95f, 0.0f, 0.0f},     {16, 16, -1.2f, 0.5f, -0.1f},  {200, 100, 0.3f, -0.2f, 0.05f},
        {7, 3, -1.01f, 0.0f, 0.0f},     {9, 1, 1e20f, -1e20f, 1e20f},  {5, 5, 1.17549435e-38f, 0.0f, -1e-45f},
    };  // typical, largest non-wrapping, wrapping, growing to inf, overflowing to NaN, tiny taps
    for (const auto &k : sets) {
        for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
            const auto samples = qztest::RandomSamples(count, static_cast<std::uint32_t>(count + k.B0));
            EXPECT_EQ(Filter(samples, k), Reference(samples, k)) << "B0 " << int{k.B0} << ", " << count;
        }
    }
}

}  // namespace

// HighPassFilter: start-up, steps, the 16-bit numerator wrap, the output
// clip boundaries, non-finite values and the closed form on random buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "TestBuffers.h"

namespace {

struct Coefficients {
    BYTE B0;
    BYTE B1;
    float A0;
    float A1;
    float A2;
};

std::vector<UINT16> HighPass(const std::vector<UINT16> &samples, const Coefficients &k)
{
    HeartSampling.HPFConstantsB[0] = k.B0;
    HeartSampling.HPFConstantsB[1] = k.B1;
    HeartSampling.HPFConstantsA[0] = k.A0;
    HeartSampling.HPFConstantsA[1] = k.A1;
    HeartSampling.HPFConstantsA[2] = k.A2;
    qztest::PackedBuffer buffer(samples);
    const UINT16 median = 0;
    const UINT16 amplitude = 0;
    HighPassFilter(buffer.data(), &median, &amplitude);
    return buffer.unpack();
}

// Straightforward recurrence with x[m < 0] = x[0] and y[m < 0] = 0.
std::vector<UINT16> HighPassReference(const std::vector<UINT16> &samples, const Coefficients &k)
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
        const double written = std::isnan(y) ? 500.0 : std::clamp(std::trunc(double{y}) + 500.0, 0.0, 1023.0);
        out.push_back(static_cast<UINT16>(written));
    }
    return out;
}

std::vector<UINT16> Step(UINT16 before, UINT16 after, std::size_t at, std::size_t count = 600)
{
    std::vector<UINT16> samples(count, before);
    std::fill(samples.begin() + static_cast<long>(at), samples.end(), after);
    return samples;
}

constexpr float kInfinity = std::numeric_limits<float>::infinity();

class HighPassTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

TEST_F(HighPassTest, FirstOutputAndConstantBuffersGive500)
{
    const Coefficients sets[] = {
        {1, 0, 0.0f, 0.0f, 0.0f},      {0, 0, -0.9f, 0.2f, 0.1f},   {16, 16, -2.5f, 1.5f, -0.3f},
        {255, 255, 1e30f, 0.0f, 0.0f}, {3, 1, kInfinity, 0.0f, 0.0f},
    };
    for (const auto &k : sets) {
        SCOPED_TRACE(testing::Message() << "B0 " << int{k.B0} << " A0 " << k.A0);
        EXPECT_EQ(HighPass(std::vector<UINT16>(600, 777), k), std::vector<UINT16>(600, 500));
        EXPECT_EQ(HighPass(qztest::RandomSamples(600, 5), k)[0], 500);
    }
    EXPECT_EQ(HighPass(qztest::RandomSamples(1500, 6), {0, 0, 0.0f, 0.0f, 0.0f}), std::vector<UINT16>(1500, 500));
}

TEST_F(HighPassTest, StepsWithoutFeedback)
{
    // B0 = 1, B1 = 0: r[n] = x[n] - x[n-3], so a step shows for three samples.
    auto expected = std::vector<UINT16>(600, 500);
    std::fill_n(expected.begin() + 101, 3, 700);
    EXPECT_EQ(HighPass(Step(100, 300, 101), {1, 0, 0.0f, 0.0f, 0.0f}), expected);

    // 40 * 1023 = 40920 wraps to -24616 in 16 bits: the rising step gives 0.
    std::fill_n(expected.begin() + 101, 3, 0);
    EXPECT_EQ(HighPass(Step(0, 1023, 101), {40, 0, 0.0f, 0.0f, 0.0f}), expected);
}

TEST_F(HighPassTest, FilterValuesAreTruncatedOffsetAndSaturated)
{
    // Input 0, 1, 1, ... with B0 = 1: y[1] = 1 and y[2] = 1 - A0, written at sample 2.
    struct Case {
        float A0;
        UINT16 expected;  // for filter value 1 - A0
    };
    const Case cases[] = {
        {-522.9f, 1023},  // 523.9
        {-522.0f, 1023},  // 523.0
        {-521.9f, 1022},  // 522.9
        {501.9f, 0},      // -500.9 truncates to -500
        {502.0f, 0},      // -501.0
        {500.9f, 1},      // -499.9
        {-22.7f, 523},    // 23.7
        {-39999.0f, 1023},
        {40001.0f, 0},
    };
    std::vector<UINT16> samples(600, 1);
    samples[0] = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.A0);
        const auto out = HighPass(samples, {1, 0, c.A0, 0.0f, 0.0f});
        EXPECT_EQ(out[1], 501);
        EXPECT_EQ(out[2], c.expected);
    }
}

TEST_F(HighPassTest, NonFiniteFilterValues)
{
    std::vector<UINT16> samples(600, 1);
    samples[0] = 0;
    // A0 = 1e30: y = 0, 1, 1 - 1e30, +inf, -inf; then the zero tap A1 meets an
    // infinity (0 * inf) and the value is NaN.
    const auto diverging = HighPass(samples, {1, 0, 1e30f, 0.0f, 0.0f});
    const std::vector<UINT16> start(diverging.begin(), diverging.begin() + 6);
    EXPECT_EQ(start, (std::vector<UINT16>{500, 501, 0, 1023, 0, 500}));
    // An infinite coefficient times the zero start-up history is NaN, and the
    // NaN stays in the feedback: every output is 500.
    EXPECT_EQ(HighPass(samples, {1, 0, kInfinity, 0.0f, 0.0f}), std::vector<UINT16>(600, 500));
}

TEST_F(HighPassTest, RandomBuffersMatchClosedForm)
{
    const Coefficients sets[] = {
        {4, 2, -0.95f, 0.0f, 0.0f},       // typical baseline removal
        {16, 16, -1.2f, 0.5f, -0.1f},     // largest non-wrapping numerator
        {200, 100, 0.3f, -0.2f, 0.05f},   // wrapping numerator
        {7, 3, -1.01f, 0.0f, 0.0f},       // unstable: grows to infinity
        {9, 1, 1e20f, -1e20f, 1e20f},     // overflows into NaN
        {5, 5, 1.17549435e-38f, 0.0f, -1e-45f},  // tiny and subnormal taps
    };
    for (const auto &k : sets) {
        for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
            SCOPED_TRACE(testing::Message() << "B0 " << int{k.B0} << " B1 " << int{k.B1} << ", " << count);
            const auto samples = qztest::RandomSamples(count, static_cast<std::uint32_t>(count + k.B0));
            EXPECT_EQ(HighPass(samples, k), HighPassReference(samples, k));
        }
    }
}

}  // namespace

// LowPassFilter: scaling value, impulse responses, clamping, the closed form
// on random buffers, and its diagnostic lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "QZ_Library_Configuration.h"
#include "TestBuffers.h"

namespace {

class LowPassTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }

    static void SetConstants(const std::vector<int> &taps, BYTE postscale)
    {
        for (std::size_t t = 0; t < 5; ++t) {
            HeartSampling.LPFConstants[t] = static_cast<SBYTE>(taps[t]);
        }
        HeartSampling.LPFPostscale = postscale;
    }

    // Runs the filter and returns the buffer; `amplitude` is replaced by S.
    static std::vector<UINT16> Filter(const std::vector<UINT16> &samples, UINT16 median, UINT16 &amplitude)
    {
        qztest::PackedBuffer buffer(samples);
        LowPassFilter(buffer.data(), &median, &amplitude);
        return buffer.unpack();
    }
};

// Straightforward formulation: x[m] = sample m - median, with x[m < 0] = x[0].
std::vector<UINT16> LowPassReference(const std::vector<UINT16> &samples, const SBYTE *c, int median, int S)
{
    const auto x = [&](long m) { return static_cast<int>(samples[static_cast<std::size_t>(std::max(m, 0L))]) - median; };
    std::vector<UINT16> out(samples.size());
    for (long n = 0; n < static_cast<long>(samples.size()); ++n) {
        const int sum = c[0] * (x(n) + x(n - 8)) + c[1] * (x(n - 1) + x(n - 7)) + c[2] * (x(n - 2) + x(n - 6)) +
                        c[3] * (x(n - 3) + x(n - 5)) + c[4] * x(n - 4);
        out[static_cast<std::size_t>(n)] = static_cast<UINT16>(std::clamp(sum / S + median, 0, 1023));
    }
    return out;
}

TEST_F(LowPassTest, ScalingValueIsComputedInSinglePrecision)
{
    struct Case {
        BYTE postscale;
        UINT16 amplitude;
        UINT16 S;
    };
    const Case cases[] = {
        {100, 200, 44}, {90, 4, 1},  {0, 1000, 1},   {33, 750, 54},
        {61, 450, 60},  {65, 90, 13}, {255, 65535, 37136},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "postscale " << int{c.postscale} << " amplitude " << c.amplitude);
        SetConstants({0, 0, 0, 0, 0}, c.postscale);
        UINT16 amplitude = c.amplitude;
        Filter(std::vector<UINT16>(600, 10), 10, amplitude);
        EXPECT_EQ(amplitude, c.S);
    }
}

TEST_F(LowPassTest, ImpulseResponseIsCentredFourSamplesLater)
{
    struct Case {
        const char *name;
        std::vector<int> taps;
        UINT16 amplitude;  // with postscale 90: S = trunc(amplitude / 5), at least 1
        UINT16 median;
        int d;
        std::vector<UINT16> expected;  // samples n .. n + 8
    };
    const Case cases[] = {
        {"rising taps", {1, 2, 3, 4, 5}, 0, 500, 10, {510, 520, 530, 540, 550, 540, 530, 520, 510}},
        {"negative sums round toward zero", {-7, 7, 0, 0, 1}, 10, 300, 1, {297, 303, 300, 300, 300, 300, 300, 303, 297}},
        {"clamped high and low", {127, -128, 0, 0, 0}, 0, 20, 1000, {1023, 0, 20, 20, 20, 20, 20, 0, 1023}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetConstants(c.taps, 90);
        const std::size_t n = 100;
        std::vector<UINT16> samples(600, c.median);
        samples[n] = static_cast<UINT16>(c.median + c.d);
        UINT16 amplitude = c.amplitude;
        const auto out = Filter(samples, c.median, amplitude);
        std::vector<UINT16> expected(600, c.median);
        std::copy(c.expected.begin(), c.expected.end(), expected.begin() + n);
        EXPECT_EQ(out, expected);
    }
}

TEST_F(LowPassTest, ConstantBufferAndFirstSampleHistory)
{
    // Taps sum 2*(1+2+3+4)+5 = 25; (v - m) = 40; S = 4: 25*40/4 + 100 = 350 everywhere,
    // including the first eight outputs, which see the first sample as history.
    SetConstants({1, 2, 3, 4, 5}, 90);
    UINT16 amplitude = 20;
    const auto out = Filter(std::vector<UINT16>(1500, 140), 100, amplitude);
    EXPECT_EQ(amplitude, 4);
    EXPECT_EQ(out, std::vector<UINT16>(1500, 350));
}

TEST_F(LowPassTest, RandomBuffersMatchClosedForm)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> tap(-128, 127);
    std::uniform_int_distribution<int> value(0, 1023);
    std::uniform_int_distribution<int> postscale(0, 255);
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (std::uint32_t seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(testing::Message() << count << " samples, seed " << seed);
            SetConstants({tap(random), tap(random), tap(random), tap(random), tap(random)},
                         static_cast<BYTE>(postscale(random)));
            const auto samples = qztest::RandomSamples(count, seed);
            const auto median = static_cast<UINT16>(value(random));
            UINT16 amplitude = static_cast<UINT16>(value(random));
            const auto out = Filter(samples, median, amplitude);
            EXPECT_EQ(out, LowPassReference(samples, HeartSampling.LPFConstants, median, amplitude));
        }
    }
}

TEST_F(LowPassTest, DiagnosticLinesOnlyAboveLogLevelThree)
{
    SetConstants({-1, 2, -30, 4, 127}, 100);
    for (const UINT16 level : {UINT16{3}, UINT16{4}}) {
        LogLevel = level;
        UINT16 amplitude = 200;
        testing::internal::CaptureStdout();
        Filter(std::vector<UINT16>(600, 7), 7, amplitude);
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output, level == 3 ? ""
                                     : "In LowPassFilter: Median is 7 and Scaling Value is 44\n"
                                       "LPF is:  PS:100, a[0]:  -1, a[1]:   2, a[2]: -30, a[3]:   4, a[4]: 127, \n");
    }
}

}  // namespace

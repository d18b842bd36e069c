// MinMax, SortBuffer and the bucket median on packed buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "TestBuffers.h"

namespace {

std::vector<UINT16> Blocks(std::initializer_list<std::pair<std::size_t, UINT16>> runs)
{
    std::vector<UINT16> samples;
    for (const auto &[count, value] : runs) {
        samples.insert(samples.end(), count, value);
    }
    return samples;
}

std::vector<UINT16> ModuloRamp(std::size_t count)
{
    std::vector<UINT16> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<UINT16>(i % 1024);
    }
    return samples;
}

class StatisticsTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

struct MedianCase {
    const char *name;
    std::vector<UINT16> samples;
    UINT16 min;
    UINT16 max;
    UINT16 median;
};

TEST_F(StatisticsTest, MinMaxAndMedianOfTypicalBuffers)
{
    const MedianCase cases[] = {
        {"constant", Blocks({{1500, 345}}), 345, 345, 345},
        {"all 1023", Blocks({{1500, 1023}}), 1023, 1023, 1023},
        {"all 0", Blocks({{1500, 0}}), 0, 0, 0},
        {"7 and 3", Blocks({{1000, 7}, {500, 3}}), 3, 7, 6},
        {"exact tie goes low", Blocks({{750, 100}, {750, 900}}), 100, 900, 100},
        {"one more above", Blocks({{749, 100}, {751, 900}}), 100, 900, 899},
        {"single outlier", Blocks({{1499, 0}, {1, 1023}}), 0, 1023, 0},
        {"i mod 1024", ModuloRamp(1500), 0, 1023, 374},
        {"600 samples, tie settles at 20..22", Blocks({{300, 20}, {300, 40}}), 20, 40, 21},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        qztest::PackedBuffer buffer(c.samples);
        const std::vector<BYTE> before = buffer.bytes;
        UINT16 min = 0xAAAA;
        UINT16 max = 0xAAAA;
        MinMax(buffer.data(), &min, &max);
        EXPECT_EQ(min, c.min);
        EXPECT_EQ(max, c.max);
        UINT16 median = 0xAAAA;
        Median(buffer.data(), &median);
        EXPECT_EQ(median, c.median);
        EXPECT_EQ(buffer.bytes, before) << "statistics must not write the buffer";
    }
}

TEST_F(StatisticsTest, TegrunHoldsTheSampleSum)
{
    qztest::PackedBuffer full(Blocks({{1500, 1023}}));
    UINT16 min = 0;
    UINT16 max = 0;
    MinMax(full.data(), &min, &max);
    EXPECT_EQ(Tegrun, 1500u * 1023u);

    // Median recomputes it through its own MinMax.
    qztest::PackedBuffer small(Blocks({{600, 2}}));
    UINT16 median = 0;
    Median(small.data(), &median);
    EXPECT_EQ(Tegrun, 1200u);
}

TEST_F(StatisticsTest, SortBufferCountsPerBucket)
{
    // Thresholds of the 7/3 case: 3, 4, 4, 5, 5, 6, 6.
    const UINT16 threshold[7] = {3, 4, 4, 5, 5, 6, 6};
    qztest::PackedBuffer buffer(Blocks({{500, 3}, {1000, 7}}));
    UINT16 bucket[8];
    std::fill(std::begin(bucket), std::end(bucket), 0xFFFF);
    SortBuffer(buffer.data(), bucket, threshold);
    const UINT16 expected[8] = {0, 500, 0, 0, 0, 0, 0, 1000};
    EXPECT_TRUE(std::equal(std::begin(bucket), std::end(bucket), std::begin(expected)));
}

TEST_F(StatisticsTest, RandomBuffersMatchStraightforwardStatistics)
{
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (const std::uint32_t seed : {1u, 2u, 3u}) {
            const auto samples = qztest::RandomSamples(count, seed);
            qztest::PackedBuffer buffer(samples);
            UINT16 min = 0;
            UINT16 max = 0;
            MinMax(buffer.data(), &min, &max);
            EXPECT_EQ(min, *std::min_element(samples.begin(), samples.end()));
            EXPECT_EQ(max, *std::max_element(samples.begin(), samples.end()));
            EXPECT_EQ(Tegrun, std::accumulate(samples.begin(), samples.end(), 0u));

            // The bucket median is within a few counts of the true middle.
            UINT16 median = 0;
            Median(buffer.data(), &median);
            auto sorted = samples;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_GE(median + 8, sorted[count / 2 - 1]);
            EXPECT_LE(median, sorted[count / 2] + 8);
        }
    }
}

}  // namespace

// SPDX-License-Identifier: Apache-2.0
// MinMax, SortBuffer, the bucket median and MinMaxMedian on packed buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "TestBuffers.h"

using namespace qz;

namespace {

std::vector<UINT16> Runs(std::initializer_list<std::pair<std::size_t, UINT16>> runs)
{
    std::vector<UINT16> samples;
    for (const auto &[count, value] : runs) {
        samples.insert(samples.end(), count, value);
    }
    return samples;
}

std::vector<UINT16> ModuloRamp()
{
    std::vector<UINT16> samples(1500);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<UINT16>(i % 1024);
    }
    return samples;
}

class Statistics : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

TEST_F(Statistics, MinMaxSumAndMedian)
{
    struct Case {
        const char *name;
        std::vector<UINT16> samples;
        UINT16 min, max, median;
    };
    const Case cases[] = {
        {"constant", Runs({{1500, 345}}), 345, 345, 345},
        {"all 1023", Runs({{1500, 1023}}), 1023, 1023, 1023},
        {"all 0", Runs({{1500, 0}}), 0, 0, 0},
        {"7 and 3", Runs({{1000, 7}, {500, 3}}), 3, 7, 6},
        {"exact tie goes low", Runs({{750, 100}, {750, 900}}), 100, 900, 100},
        {"one more above", Runs({{749, 100}, {751, 900}}), 100, 900, 899},
        {"single outlier", Runs({{1499, 0}, {1, 1023}}), 0, 1023, 0},
        {"i mod 1024", ModuloRamp(), 0, 1023, 374},
        {"600 samples, range below 8 after one pass", Runs({{300, 20}, {300, 40}}), 20, 40, 21},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        qztest::PackedBuffer buffer(c.samples);
        const std::vector<BYTE> before = buffer.bytes;
        UINT16 min = 0xAAAA, max = 0xAAAA, median = 0xAAAA;
        MinMax(buffer.data(), &min, &max);
        EXPECT_EQ(min, c.min);
        EXPECT_EQ(max, c.max);
        Tegrun = 0;
        Median(buffer.data(), &median);  // recomputes Tegrun through its own MinMax
        EXPECT_EQ(median, c.median);
        EXPECT_EQ(Tegrun, std::accumulate(c.samples.begin(), c.samples.end(), 0u));
        EXPECT_EQ(buffer.bytes, before) << "statistics must not write the buffer";
    }
}

TEST_F(Statistics, SortBufferCountsPerBucket)
{
    const UINT16 threshold[7] = {3, 4, 4, 5, 5, 6, 6};
    qztest::PackedBuffer buffer(Runs({{496, 3}, {1000, 7}, {2, 0}, {1, 5}, {1, 6}}));
    UINT16 bucket[8];
    SortBuffer(buffer.data(), bucket, threshold);
    EXPECT_EQ(std::vector<UINT16>(bucket, bucket + 8), (std::vector<UINT16>{2, 496, 0, 0, 0, 1, 0, 1001}));
}

// The search as documented: eight buckets split by min + (i + 1) * range / 8,
// the bucket where the counts from below and from above meet, narrowed until
// the range is below 8; then the middle of the range, rounded down.
UINT16 ModelMedian(const std::vector<UINT16> &samples)
{
    int low = *std::min_element(samples.begin(), samples.end());
    int high = *std::max_element(samples.begin(), samples.end());
    int range = high - low;
    do {
        int threshold[7];
        for (int i = 0; i < 7; ++i) {
            threshold[i] = low + (i + 1) * range / 8;
        }
        int count[8] = {};
        for (const UINT16 v : samples) {
            ++count[std::upper_bound(threshold, threshold + 7, v) - threshold];
        }
        int a = 0, b = 7, balance = count[0] - count[7];
        while (a != b) {
            balance = balance < 0 ? balance + count[++a] : balance - count[--b];
        }
        low = b > 0 ? threshold[b - 1] : low;
        high = b < 7 ? threshold[b] : high;
        range = high - low;
    } while (range >= 8);
    return static_cast<UINT16>(low + range / 2);
}

TEST_F(Statistics, RandomBuffersMatchTheModel)
{
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (std::uint32_t seed = 1; seed <= 12; ++seed) {
            const auto samples = qztest::RandomSamples(count, seed, static_cast<UINT16>(60 * seed));
            qztest::PackedBuffer buffer(samples);
            UINT16 min = 0, max = 0, median = 0;
            MinMaxMedian(buffer.data(), &min, &max, &median);
            EXPECT_EQ(min, *std::min_element(samples.begin(), samples.end()));
            EXPECT_EQ(max, *std::max_element(samples.begin(), samples.end()));
            EXPECT_EQ(median, ModelMedian(samples)) << count << " samples, seed " << seed;
            EXPECT_EQ(Tegrun, std::accumulate(samples.begin(), samples.end(), 0u));
        }
    }
}

}  // namespace

// SPDX-License-Identifier: Apache-2.0
// MovingAverage and AbsSubtractMedian on packed buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "TestBuffers.h"

using namespace qz;

namespace {

class MovingAverageTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
};

std::vector<UINT16> Average(const std::vector<UINT16> &samples)
{
    qztest::PackedBuffer buffer(samples);
    MovingAverage(buffer.data());
    return buffer.unpack();
}

// Closed form: e = four copies of x[0], the first group, every group but the
// last (the first again included), then four copies of the value before them;
// output n = floor((e[n] + ... + e[n+8]) / 9).
std::vector<UINT16> Reference(const std::vector<UINT16> &x)
{
    std::vector<unsigned> e(4, x[0]);
    e.insert(e.end(), x.begin(), x.begin() + 4);
    e.insert(e.end(), x.begin(), x.end() - 4);
    e.insert(e.end(), 4, e.back());
    std::vector<UINT16> out;
    for (std::size_t n = 0; n < x.size(); ++n) {
        out.push_back(static_cast<UINT16>(std::accumulate(e.begin() + static_cast<long>(n),
                                                          e.begin() + static_cast<long>(n) + 9, 0u) / 9));
    }
    return out;
}

TEST_F(MovingAverageTest, RandomBuffersMatchClosedForm)
{
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        for (const std::uint32_t seed : {11u, 12u, 13u}) {
            const auto samples = qztest::RandomSamples(count, seed);
            EXPECT_EQ(Average(samples), Reference(samples)) << count << " samples, seed " << seed;
        }
    }
}

TEST_F(MovingAverageTest, AbsSubtractMedian)
{
    struct Case {
        UINT16 median;
        std::vector<UINT16> samples, expected;
    };
    const Case cases[] = {
        {500, {0, 500, 1023, 499}, {500, 0, 523, 1}},
        {1023, {0, 1, 1023, 1022}, {1023, 1022, 0, 1}},
        // Outside the contract: a median above 1023 saturates each result at 1023.
        {1024, {1023, 1, 0, 600}, {1, 1023, 1023, 424}},
        {40000, {0, 1023, 5, 512}, {1023, 1023, 1023, 1023}},
    };
    for (const auto &c : cases) {
        std::vector<UINT16> samples(600, 300);
        std::copy(c.samples.begin(), c.samples.end(), samples.end() - 4);
        std::vector<UINT16> expected(600, static_cast<UINT16>(std::min(std::abs(300 - c.median), 1023)));
        std::copy(c.expected.begin(), c.expected.end(), expected.end() - 4);
        qztest::PackedBuffer buffer(samples);
        AbsSubtractMedian(buffer.data(), &c.median);
        EXPECT_EQ(buffer.unpack(), expected) << "median " << c.median;
    }
}

}  // namespace

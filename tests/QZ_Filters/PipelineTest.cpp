// SPDX-License-Identifier: Apache-2.0
// CalculateHeartRate: stage order, dump files, geometry, peak publication
// and the result word when stages are left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "TestBuffers.h"
#include "ToolRunner.h"

using namespace qz;

namespace {

namespace fs = std::filesystem;

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }

    qztest::TempDir dir;
    qztest::ScopedCwd cwd{dir.path()};
};

std::vector<UINT16> Humps(std::size_t count, std::size_t humps)
{
    std::vector<UINT16> samples(count, 0);
    for (std::size_t h = 0; h < humps; ++h) {
        const std::size_t centre = 100 + h * 200;
        for (std::size_t d = 0; d <= 4; ++d) {
            samples[centre - d] = samples[centre + d] = static_cast<UINT16>(400 - 40 * d);
        }
    }
    return samples;
}

TEST_F(Pipeline, GeometryFollowsTheBufferLength)
{
    const std::pair<UINT16, UINT16> cases[] = {{1875, 1500}, {750, 600}, {5, 600}, {1870, 600}};
    std::vector<BYTE> buffer(QZ_MAX_BUFFER_BYTES, 0);
    for (const auto &[length, samples] : cases) {
        CalcHeart_BufferLength = length;
        EXPECT_EQ(CalculateHeartRate(buffer.data(), 0, "g"), 0);
        EXPECT_EQ(CalcHeart_SampleCount, samples);
    }
}

TEST_F(Pipeline, DumpsAreWrittenInStageOrderAndHoldTheBuffer)
{
    qztest::PackedBuffer buffer(qztest::RandomSamples(600, 2));
    qztest::PackedBuffer unnamed = buffer;
    LogLevel = 3;
    testing::internal::CaptureStdout();
    (void)CalculateHeartRate(buffer.data(), 31, "rec");
    const std::string out = qztest::MaskAddresses(testing::internal::GetCapturedStdout());
    EXPECT_EQ(out,
              "Writing ADDRESS\t2\t600\trec.lowpass\n"
              "Writing ADDRESS\t2\t600\trec.highpass\n"
              "Writing ADDRESS\t2\t600\trec.derivative\n"
              "Writing ADDRESS\t2\t600\trec.square\n"
              "Writing ADDRESS\t2\t600\trec.average\n");
    EXPECT_EQ(qztest::ReadWords(dir / "rec.average"), buffer.unpack());

    // Without a record name: the same stages, no dump and no transfer line.
    for (const auto &file : fs::directory_iterator(dir.path())) {
        fs::remove(file.path());
    }
    testing::internal::CaptureStdout();
    (void)CalculateHeartRate(unnamed.data(), 31, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(unnamed.bytes, buffer.bytes);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// A run without a record name writes no file at all, not even the method
// dump; a named run still writes it.
TEST_F(Pipeline, WithoutARecordNameNoFileIsWritten)
{
    qztest::PackedBuffer buffer(Humps(1500, 3));
    (void)CalculateHeartRate(buffer.data(), QZ_STAGE_ALL, nullptr);
    EXPECT_TRUE(fs::is_empty(dir.path()));

    (void)CalculateHeartRate(buffer.data(), QZ_STAGE_BEATRATE, "rec");
    EXPECT_TRUE(fs::exists(dir / (QZ_METHOD_DUMP_NAME QZ_METHOD_DUMP_EXTENSION)));
}

// Without dumps, squaring and the two moving averages share one walk over
// the buffer; a named run walks stage by stage. Bytes, result word and
// statistics must agree, at the rails, for one group and for both derivatives.
TEST_F(Pipeline, SharedWalkWithoutDumpsGivesTheBytesOfStageByStageWalks)
{
    std::vector<UINT16> rails(600);
    for (std::size_t n = 0; n < rails.size(); ++n) {
        rails[n] = (n / 3) % 2 == 0 ? 0 : 1023;
    }
    const std::vector<std::vector<UINT16>> signals = {qztest::RandomSamples(1500, 7), Humps(600, 3), rails,
                                                      {5, 900, 0, 1023}, std::vector<UINT16>(1500, 512)};
    const std::vector<BYTE> constants = qztest::EcgConstantsImage();
    auto run = [&](const std::vector<UINT16> &samples, BYTE mask, UINT16 order, const char *name) {
        qztest::ResetState();
        hlp_convertSamplingTo64bitFloat(constants.data(), &HeartSampling);
        Filter.set(FilterBits::DerivativeOrder, order);
        qztest::PackedBuffer buffer(samples);
        const UINT16 word = CalculateHeartRate(buffer.data(), mask, name);
        return std::tuple{buffer.bytes, word, CalcHeart_BufferMin, CalcHeart_BufferMax, CalcHeart_BufferMedian,
                          CalcHeart_BufferAmplitude, GloballyAccessiblePeaks};
    };
    for (std::size_t s = 0; s < signals.size(); ++s) {
        for (const BYTE mask : {BYTE{24}, BYTE{127}}) {
            for (const UINT16 order : {UINT16{QZ_DERIVATIVE_TWO_POINT}, UINT16{5}}) {
                EXPECT_EQ(run(signals[s], mask, order, "rec"), run(signals[s], mask, order, nullptr))
                    << "signal " << s << ", mask " << static_cast<int>(mask) << ", order " << order;
            }
        }
    }
}

TEST_F(Pipeline, PeakThresholdIsAFifthOfTheRangeRoundedDown)
{
    struct Case {
        UINT16 low, high, threshold;
    };
    for (const auto &c : {Case{10, 14, 0}, Case{10, 15, 1}, Case{0, 1023, 204}}) {
        std::vector<UINT16> samples(1500, c.low);
        samples[700] = c.high;
        qztest::PackedBuffer buffer(samples);
        (void)CalculateHeartRate(buffer.data(), 32, "t");
        EXPECT_EQ(CalcHeart_BufferAmplitude, c.threshold) << c.high;
    }
}

TEST_F(Pipeline, PeakStagePublishesCountAndAllLocations)
{
    qztest::PackedBuffer buffer(Humps(1500, 3));
    Filter.set(FilterBits::VariablePeakThreshold, 0);
    for (auto &entry : GloballyAccessibleIntervals) {
        entry = 0xBEEF;
    }
    (void)CalculateHeartRate(buffer.data(), 32, "p");
    EXPECT_EQ(GloballyAccessiblePeaks, 3);
    for (std::size_t i = 0; i < QZ_MAX_PEAKS; ++i) {
        EXPECT_EQ(GloballyAccessibleIntervals[i] != 0, i < 3) << i;
    }
}

TEST_F(Pipeline, BeatRateWithoutPeakStageKeepsPublishedPeaks)
{
    qztest::PackedBuffer buffer(Humps(1500, 3));
    GloballyAccessiblePeaks = 7;
    GloballyAccessibleIntervals[0] = 123;
    EXPECT_EQ(CalculateHeartRate(buffer.data(), 64, "b"), 3072);
    EXPECT_EQ(GloballyAccessiblePeaks, 7);
    EXPECT_EQ(GloballyAccessibleIntervals[0], 123);
}

}  // namespace

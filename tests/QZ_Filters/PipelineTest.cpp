// CalculateHeartRate: stage order, dump files, geometry, peak publication
// and the result word when stages are left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "QZ_Filters.h"
#include "QZ_Library_Configuration.h"
#include "TestBuffers.h"
#include "ToolRunner.h"

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

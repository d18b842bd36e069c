// The in-process estimator, the scoring, and evaluate from manifest to
// outputs, on synthetic recordings with known rates.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "evaluate/ManifestEvaluation.h"
#include "signal/Synth.h"
#include "TestBuffers.h"
#include "ToolRunner.h"
#include "ToolkitError.h"

namespace {

using qzkit::Estimate;
using qzkit::WindowResult;

qzkit::ConstantsImage EcgConstants()
{
    const std::vector<BYTE> image = qztest::EcgConstantsImage();
    qzkit::ConstantsImage constants{};
    std::copy(image.begin(), image.end(), constants.begin());
    return constants;
}

void WriteConstants(const std::filesystem::path &path)
{
    qztest::WriteBytes(path, qztest::EcgConstantsImage());
}

TEST(InProcessEstimator, EveryWindowStartsFromTheSameStateAndWritesNoFile)
{
    qztest::TempDir dir;
    const qztest::ScopedCwd cwd(dir.path());
    const qzkit::InProcessEstimator estimator(EcgConstants(), {});
    qzkit::SynthOptions options;
    options.bpm = 90.0;
    const auto window = qzkit::Synthesize(options).samples;
    const Estimate first = estimator.Run(window);
    options.bpm = 40.0;
    options.noise = 40.0;
    (void)estimator.Run(qzkit::Synthesize(options).samples);
    const Estimate again = estimator.Run(window);
    EXPECT_EQ(again.bpm, first.bpm);
    EXPECT_EQ(again.qi, first.qi);
    EXPECT_EQ(again.peaks, first.peaks);
    EXPECT_TRUE(qztest::ListDirectory(dir.path()).empty());
}

TEST(InProcessEstimator, RefusesWindowsTheToolWouldNotRead)
{
    const qzkit::InProcessEstimator estimator(EcgConstants(), {});
    EXPECT_THROW(estimator.Run(std::vector<std::uint16_t>(1000, 512)), qzkit::ToolkitError);
    std::vector<std::uint16_t> window(600, 512);
    window[17] = 1024;
    EXPECT_THROW(estimator.Run(window), qzkit::ToolkitError);
}

WindowResult Result(std::optional<double> reference, std::uint16_t bpm, std::uint16_t qi)
{
    WindowResult result;
    result.reference.beats = reference ? 8 : 1;
    result.reference.bpm = reference;
    result.estimate.bpm = bpm;
    result.estimate.qi = qi;
    return result;
}

TEST(Summary, CountsAnswersAccuracyAndWhatQi3Flags)
{
    const std::vector<WindowResult> results{
        Result(60.0, 60, 0),   // right
        Result(60.0, 65, 0),   // right: exactly 5 off
        Result(100.0, 109, 1), // wrong by BPM, within 10 %
        Result(60.0, 70, 2),   // wrong
        Result(60.0, 120, 3),  // wrong, flagged
        Result(60.0, 61, 3),   // right but flagged: no answer
        Result(std::nullopt, 80, 0),  // no reference: not scored
    };
    const auto summary = qzkit::Summarize(results);
    EXPECT_EQ(summary.windows, 7u);
    EXPECT_EQ(summary.withReference, 6u);
    EXPECT_EQ(summary.answered, 4u);
    EXPECT_DOUBLE_EQ(summary.Coverage(), 4.0 / 6.0);
    EXPECT_EQ(summary.withinBpm, 2u);
    EXPECT_EQ(summary.withinFraction, 3u);
    EXPECT_DOUBLE_EQ(summary.MeanAbsoluteError(), (0.0 + 5.0 + 9.0 + 10.0) / 4.0);
    EXPECT_EQ(summary.wrong, 3u);
    EXPECT_EQ(summary.wrongFlagged, 1u);
    ASSERT_EQ(summary.byQi.size(), 4u);
    EXPECT_EQ(summary.byQi.at(0).windows, 2u);
    EXPECT_EQ(summary.byQi.at(0).withinBpm, 2u);
    EXPECT_EQ(summary.byQi.at(3).windows, 2u);
    EXPECT_EQ(summary.byQi.at(3).withinBpm, 1u);
    EXPECT_DOUBLE_EQ(summary.byQi.at(3).absoluteErrorSum, 61.0);

    const std::string text = qzkit::SummaryText(summary);
    EXPECT_NE(text.find("coverage (QI 0-2): 4 of 6 (66.7 %)"), std::string::npos) << text;
    EXPECT_NE(text.find("flagged by QI 3: 1 of 3 (33.3 %)"), std::string::npos) << text;
}

// A directory with synthetic windows at 250 Hz, their manifest and constants.
struct EvaluationFixture {
    qztest::TempDir dir;
    std::vector<double> rates{50.0, 72.0, 95.0, 130.0};

    EvaluationFixture()
    {
        WriteConstants(dir / "ecg.pvx.filters.v1");
        for (std::size_t i = 0; i < rates.size(); ++i) {
            qzkit::SynthOptions options;
            options.bpm = rates[i];
            options.length = i % 2 == 0 ? 1500 : 600;
            options.seed = static_cast<std::uint32_t>(i + 1);
            const auto recording = qzkit::Synthesize(options);
            const std::string base = (dir / ("w" + std::to_string(i))).string();
            qzkit::WriteSynthFiles(base, recording);
            qzkit::WriteSynthManifest(base, recording);
        }
        // One manifest over the four windows.
        std::ofstream manifest(dir / "all.manifest.csv");
        manifest << "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm\n";
        for (std::size_t i = 0; i < rates.size(); ++i) {
            std::ifstream one(dir / ("w" + std::to_string(i) + ".manifest.csv"));
            std::string line;
            std::getline(one, line);
            std::getline(one, line);
            manifest << line << '\n';
        }
    }

    qzkit::EvaluateOptions Options() const
    {
        qzkit::EvaluateOptions options;
        options.manifest = dir / "all.manifest.csv";
        options.constants = dir / "ecg";
        options.output = dir / "out.csv";
        options.summary = dir / "summary.txt";
        return options;
    }
};

TEST(Evaluate, ScoresEveryWindowOfAManifest)
{
    EvaluationFixture fixture;
    const auto report = qzkit::Evaluate(fixture.Options());
    ASSERT_EQ(report.results.size(), fixture.rates.size());
    for (std::size_t i = 0; i < fixture.rates.size(); ++i) {
        ASSERT_TRUE(report.results[i].reference.bpm);
        EXPECT_NEAR(*report.results[i].reference.bpm, fixture.rates[i], 1.0);
        EXPECT_TRUE(report.results[i].WithinBpm()) << fixture.rates[i];
    }
    EXPECT_EQ(report.summary.withinBpm, fixture.rates.size());
    EXPECT_GT(report.windowsPerSecond, 0.0);

    std::ifstream csv(fixture.dir / "out.csv");
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "file,start_sample,start_time_s,reference_beats,reference_bpm,bpm,qi,error_bpm,peaks,beat_method");
    std::size_t rows = 0;
    while (std::getline(csv, line)) ++rows;
    EXPECT_EQ(rows, fixture.rates.size());
    std::ifstream summary(fixture.dir / "summary.txt");
    std::stringstream text;
    text << summary.rdbuf();
    EXPECT_NE(text.str().find("within +-5 BPM: 4 of 4 (100.0 %)"), std::string::npos) << text.str();
}

struct BadInput {
    const char *name;
    void (*spoil)(const std::filesystem::path &dir, qzkit::EvaluateOptions &options);
};

class EvaluateRefuses : public ::testing::TestWithParam<BadInput> {};

TEST_P(EvaluateRefuses, WithoutWritingAnyOutput)
{
    EvaluationFixture fixture;
    auto options = fixture.Options();
    GetParam().spoil(fixture.dir.path(), options);
    const auto before = qztest::ListDirectory(fixture.dir.path());
    EXPECT_THROW(qzkit::Evaluate(options), qzkit::ToolkitError);
    EXPECT_EQ(qztest::ListDirectory(fixture.dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EvaluateRefuses,
    ::testing::Values(
        BadInput{"MissingWindow", [](const auto &dir, auto &) { std::filesystem::remove(dir / "w2.ecg"); }},
        BadInput{"SampleAboveTenBits",
                 [](const auto &dir, auto &) { qztest::WriteSamples(dir / "w1.ecg", std::vector<std::uint16_t>(600, 2000)); }},
        BadInput{"ConstantsForAnotherRate",
                 [](const auto &dir, auto &) {
                     auto image = qztest::EcgConstantsImage();
                     image[4] = 0x00, image[5] = 0x00, image[6] = 0x3C;  // Period 1/128 s
                     qztest::WriteBytes(dir / "ecg.pvx.filters.v1", image);
                 }},
        BadInput{"NoReference",
                 [](const auto &dir, auto &) {
                     std::ofstream(dir / "all.manifest.csv")
                         << "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm\n"
                         << "w1.ecg,0,0,600,250,,\n";
                 }},
        BadInput{"OutputDirectoryMissing",
                 [](const auto &dir, auto &options) { options.output = dir / "no" / "out.csv"; }}),
    [](const ::testing::TestParamInfo<BadInput> &param) { return param.param.name; });

}  // namespace

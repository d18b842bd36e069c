// SPDX-License-Identifier: Apache-2.0
// The scoring, and evaluate from manifest to
// outputs, on synthetic recordings with known rates and on record 100.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "convert/Convert.h"
#include "EvaluationFixture.h"
#include "evaluate/ManifestEvaluation.h"
#include "run/RunSettingsText.h"
#include "SharedData.h"
#include "signal/Synth.h"
#include "TestBuffers.h"
#include "ToolRunner.h"
#include "ToolkitError.h"

namespace {

using qzkit::WindowResult;

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
    EXPECT_DOUBLE_EQ(summary.agreement.bias, (0.0 + 5.0 + 9.0 + 10.0) / 4.0);
    EXPECT_EQ(summary.agreementQi0.windows, 2u);
    EXPECT_EQ(summary.UpTo(1).windows, 3u);
    EXPECT_EQ(summary.UpTo(1).withinBpm, 2u);
}

TEST(RateAgreement, HandComputedFigures)
{
    // Differences 2, -2, 10, 0 against 60 BPM.
    const auto agreement = qzkit::MeasureAgreement({{62, 60}, {58, 60}, {70, 60}, {60, 60}});
    EXPECT_EQ(agreement.windows, 4u);
    EXPECT_DOUBLE_EQ(agreement.bias, 2.5);
    EXPECT_DOUBLE_EQ(agreement.sd, std::sqrt(83.0 / 3.0));
    EXPECT_DOUBLE_EQ(agreement.upperLimit, 2.5 + 1.96 * std::sqrt(83.0 / 3.0));
    EXPECT_DOUBLE_EQ(agreement.meanAbsoluteError, 3.5);
    EXPECT_DOUBLE_EQ(agreement.rmsError, std::sqrt(27.0));
    EXPECT_DOUBLE_EQ(agreement.meanAbsolutePercentError, 100.0 * 14.0 / 240.0);
    EXPECT_EQ(agreement.withinTolerance, 3u);
    EXPECT_EQ(qzkit::MeasureAgreement({}).windows, 0u);
}

TEST(Evaluate, ScoresEveryWindowOfAManifest)
{
    qztest::EvaluationFixture fixture;
    const auto report = qzkit::Evaluate(fixture.Options());
    const auto &results = report.combinations.at(0).results;
    ASSERT_EQ(results.size(), fixture.rates.size());
    for (std::size_t i = 0; i < fixture.rates.size(); ++i) {
        ASSERT_TRUE(results[i].reference.bpm);
        EXPECT_NEAR(*results[i].reference.bpm, fixture.rates[i], 1.0);
        EXPECT_TRUE(results[i].WithinBpm()) << fixture.rates[i];
    }
    EXPECT_EQ(report.combinations[0].summary.withinBpm, fixture.rates.size());
    EXPECT_GT(report.windowsPerSecond, 0.0);

    std::ifstream csv(fixture.dir / "out.csv");
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "file,start_sample,start_time_s,reference_beats,reference_bpm,bpm,qi,error_bpm,peaks,beat_method,"
                    "record,constants,settings,beat_tp,beat_fn,beat_fp,peaks_truncated");
    std::size_t rows = 0;
    while (std::getline(csv, line)) ++rows;
    EXPECT_EQ(rows, fixture.rates.size());
    std::ifstream summary(fixture.dir / "summary.txt");
    std::stringstream text;
    text << summary.rdbuf();
    EXPECT_NE(text.str().find("within +-5 BPM:"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("4 of 4 (100.0 %)"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("beats: Se gross:                            not scored\n"), std::string::npos)
        << "no reference beats, so no 0 %";
}

TEST(Evaluate, EveryCombinationOverTheSameWindowsPerRecordAndPooled)
{
    qztest::EvaluationFixture fixture;
    auto options = fixture.PerRecordOptions();
    options.settings = {qzkit::ParseSettings("127 1 1 2"), qzkit::ParseSettings(" 127 0 3 5 ")};
    const auto report = qzkit::Evaluate(options);
    ASSERT_EQ(report.combinations.size(), 2u);
    EXPECT_EQ(report.combinations[1].combination.SettingsText(), "127 0 3 5");
    for (const auto &combination : report.combinations) {
        ASSERT_EQ(combination.byRecord.size(), fixture.rates.size());
        qzkit::BeatCounts pooled;
        for (const auto &record : combination.byRecord) {
            pooled += record.beats;
        }
        EXPECT_EQ(combination.summary.beats, pooled);
        EXPECT_GT(combination.AverageSensitivity(), 0.9);
    }
    std::ifstream csv(fixture.dir / "out.csv");
    std::string line;
    std::size_t rows = 0;
    while (std::getline(csv, line)) ++rows;
    EXPECT_EQ(rows, 1u + 2u * fixture.rates.size()) << "a row per window and combination";
}

// Record 100 converted with its annotations and scored on the beats its
// manifest names, as docs/accuracy.md does: its beat-by-beat counts.
TEST(Evaluate, RecordHundredBeatByBeat)
{
    const std::filesystem::path record = qztest::SharedDataDir() / "ecg" / "mitdb-100";
    if (!std::filesystem::exists(record / "100.hea")) {
        GTEST_SKIP() << "record 100 not found in " << record.string() << " (set QZ_SHARED_DIR)";
    }
    qztest::TempDir dir;
    qzkit::ConvertOptions convert;
    convert.input = record / "100.hea";
    convert.step = 750;
    convert.outputDirectory = dir.path();
    convert.name = "r100";
    convert.annotations = record / "100.atr";
    (void)qzkit::Convert(convert);
    qzkit::EvaluateOptions options;
    options.manifests = {dir / "r100.manifest.csv"};
    options.constants = {std::filesystem::path(QZ_EXAMPLES_DIR) / "ecg250-original"};
    const auto summary = qzkit::Evaluate(options).combinations.at(0).summary;
    EXPECT_EQ(summary.beatScoredWindows, 600u);
    EXPECT_EQ(summary.beats, (qzkit::BeatCounts{4480, 0, 0}));
}

// An output without its speed line, the one line that differs between any
// two runs, and with the pictures' surface numbers, which count the surfaces
// drawn in the process so far, as 0.
std::string Comparable(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::string text;
    for (std::string line; std::getline(in, line);) {
        if (line.find("peed: ") == std::string::npos) {
            text += std::regex_replace(line, std::regex("surface[0-9]+"), "surface0") + '\n';
        }
    }
    return text;
}

// Record 100 at both window lengths with three settings: every output the
// same whatever the number of worker processes (and however the windows
// divide among them).
TEST(Evaluate, WorkerProcessesChangeNoOutput)
{
    const std::filesystem::path record = qztest::SharedDataDir() / "ecg" / "mitdb-100";
    if (!std::filesystem::exists(record / "100.hea")) {
        GTEST_SKIP() << "record 100 not found in " << record.string() << " (set QZ_SHARED_DIR)";
    }
    qztest::TempDir dir;
    qzkit::EvaluateOptions options;
    for (const std::size_t length : {1500u, 600u}) {
        qzkit::ConvertOptions convert;
        convert.input = record / "100.hea";
        convert.windowLength = length;
        convert.outputDirectory = dir.path();
        convert.name = "r" + std::to_string(length);
        convert.annotations = record / "100.atr";
        options.manifests.push_back(qzkit::Convert(convert).manifest);
    }
    options.constants = {std::filesystem::path(QZ_EXAMPLES_DIR) / "ecg250"};
    for (const char *settings : {"127 1 1 2", "127 1 2 2", "127 0 3 5"}) {
        options.settings.push_back(qzkit::ParseSettings(settings));
    }
    options.worst = 2;
    std::vector<std::string> outputs;
    for (const std::size_t jobs : {1u, 2u, 3u}) {
        options.jobs = jobs;
        const std::string run = "jobs" + std::to_string(jobs);
        options.output = dir / (run + ".csv");
        options.summary = dir / (run + ".txt");
        options.report = dir / (run + ".html");
        EXPECT_EQ(qzkit::Evaluate(options).jobs, jobs);
        outputs.push_back(Comparable(options.output) + Comparable(options.summary) + Comparable(options.report));
        EXPECT_EQ(qztest::ReadBytes(options.output), qztest::ReadBytes(dir / "jobs1.csv")) << jobs << " jobs";
    }
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(outputs[2], outputs[0]);
}

struct BadInput {
    const char *name;
    void (*spoil)(const std::filesystem::path &dir, qzkit::EvaluateOptions &options);
};

class EvaluateRefuses : public ::testing::TestWithParam<BadInput> {};

TEST_P(EvaluateRefuses, WithoutWritingAnyOutput)
{
    qztest::EvaluationFixture fixture;
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
        BadInput{"NamedBeatsMissing", [](const auto &dir, auto &options) {
                     options.manifests = {dir / "w1.manifest.csv"};
                     std::filesystem::remove(dir / "w1.beats.csv");
                 }},
        BadInput{"WindowsNamingDifferentBeats",
                 [](const auto &dir, auto &) {
                     std::ofstream(dir / "all.manifest.csv")
                         << "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm,beats_file\n"
                         << "w1.ecg,0,0,600,250,3,72,w1.beats.csv\nw2.ecg,0,0,1500,250,9,95,w2.beats.csv\n";
                 }},
        BadInput{"ReferenceCountNotManifestCount",
                 [](const auto &dir, auto &options) { options.beatTimes = {dir / "w1.beats.csv", dir / "w2.beats.csv"}; }},
        BadInput{"OutputDirectoryMissing",
                 [](const auto &dir, auto &options) { options.output = dir / "no" / "out.csv"; }},
        BadInput{"ReportDirectoryMissing",
                 [](const auto &dir, auto &options) { options.report = dir / "no" / "report.html"; }}),
    [](const ::testing::TestParamInfo<BadInput> &param) { return param.param.name; });

}  // namespace

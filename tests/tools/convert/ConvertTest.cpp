// SPDX-License-Identifier: Apache-2.0
// convert end to end: a WFDB record into windows, manifest and reference
// rates, and the inputs it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "convert/Convert.h"
#include "io/EcgFile.h"
#include "io/ReferenceBeats.h"
#include "signal/Synth.h"
#include "ToolRunner.h"
#include "ToolkitError.h"
#include "io/Manifest.h"
#include "io/FileBytes.h"

namespace {

using qzkit::ConvertOptions;

// A 20 s synthetic ECG at 360 Hz written as a WFDB record with annotations.
qzkit::SynthRecording WriteRecord360(const std::filesystem::path &base)
{
    qzkit::SynthOptions options;
    options.rate = 360.0;
    options.length = 7200;
    options.bpm = 66.0;
    options.variability = 0.03;
    const auto recording = qzkit::Synthesize(options);
    qzkit::WriteSynthWfdb(base, recording);
    return recording;
}

TEST(Convert, WindowsOverAGapAreSkippedAndCountedInANewDirectory)
{
    qztest::TempDir dir;
    // 700 frames with no signal, then 1300 with data, at 250 Hz.
    std::ofstream(dir / "m.hea") << "m/3 1 250 2000\nlay 0\n~ 700\ns 1300\n";
    std::ofstream(dir / "lay.hea") << "lay 1 250 0\n~ 0 200 16 0 0 0 0 ECG\n";
    std::ofstream(dir / "s.hea") << "s 1 250 1300\ns.dat 16 200 16 0 0 0 0 ECG\n";
    qztest::WriteBytes(dir / "s.dat", std::vector<std::uint8_t>(2600, 0));
    ConvertOptions options;
    options.input = dir / "m";
    options.windowLength = 600;
    options.outputDirectory = dir / "new" / "out";
    const auto report = qzkit::Convert(options);
    ASSERT_EQ(report.windows.size(), 1u) << "windows at 0 and 600 touch the gap";
    EXPECT_EQ(report.windows[0].startSample, 1200u);
    EXPECT_EQ(report.windowsOverGaps, 2u);
    EXPECT_NE(qzkit::ConvertReportText(report).find("1 of 600 samples, 2 skipped over gaps"), std::string::npos);
    EXPECT_NE(qzkit::ReadTextFile(report.manifest, 4096).find("overlap a gap: 2\n"), std::string::npos);
    EXPECT_EQ(qzkit::ReadManifest(report.manifest).size(), 1u);
}

TEST(Convert, WfdbRecordToWindowsWithReferenceRates)
{
    qztest::TempDir dir;
    const auto recording = WriteRecord360(dir / "rec");
    ConvertOptions options;
    options.input = dir / "rec.hea";
    options.outputDirectory = dir / "out";
    std::filesystem::create_directory(options.outputDirectory);
    options.annotations = "atr";  // the annotator beside the record, as WFDB tools name it
    options.step = 750;
    const auto report = qzkit::Convert(options);

    EXPECT_EQ(report.sourceSamples, 7200u);
    EXPECT_EQ(report.convertedSamples, 5000u);
    EXPECT_EQ(report.referenceBeats, recording.beats.size());
    ASSERT_EQ(report.windows.size(), 5u);  // starts 0, 750, ..., 3000
    EXPECT_EQ(report.manifest, options.outputDirectory / "rec.manifest.csv");
    const auto manifest = qzkit::ReadManifest(report.manifest);
    ASSERT_EQ(manifest.size(), 5u);
    // The beats the manifest names put each reference beat into the same window again.
    const auto beats = qzkit::ReadReferenceBeatSamples(options.outputDirectory / manifest[0].beatsFile, 250.0);
    for (std::size_t i = 0; i < manifest.size(); ++i) {
        EXPECT_EQ(manifest[i].beatsFile, "rec.reference-beats.csv");
        EXPECT_EQ(qzkit::ReferenceForWindow(beats, manifest[i].startSample, 1500, 250.0).beats, manifest[i].referenceBeats);
        EXPECT_EQ(manifest[i].file, "rec_0000" + std::to_string(i) + ".ecg");
        EXPECT_EQ(manifest[i].startSample, 750 * i);
        EXPECT_EQ(manifest[i].samples, 1500u);
        ASSERT_TRUE(manifest[i].referenceBpm);
        EXPECT_NEAR(*manifest[i].referenceBpm, 66.0, 3.0);
        EXPECT_EQ(qzkit::ReadEcgFile(options.outputDirectory / manifest[i].file).size(), 1500u);
    }

    // The converted signal keeps the counts (200 per mV around 512) and the
    // R waves stay at their times.
    const auto window = qzkit::ReadEcgFile(options.outputDirectory / "rec_00000.ecg");
    for (const auto &beat : recording.beats) {
        const double position = beat.time * 250.0;
        if (position < 2.0 || position > 1497.0) continue;
        const auto centre = static_cast<std::size_t>(std::lround(position));
        const auto top = std::max_element(window.begin() + static_cast<std::ptrdiff_t>(centre - 2),
                                          window.begin() + static_cast<std::ptrdiff_t>(centre + 3));
        EXPECT_LE(std::abs(static_cast<double>(top - window.begin()) - position), 1.0) << beat.time;
        EXPECT_NEAR(*top, recording.samples[beat.sample], 25.0);
    }
}

struct FailingCase {
    const char *name;
    void (*spoil)(const std::filesystem::path &dir, ConvertOptions &options);
};

class ConvertRefuses : public ::testing::TestWithParam<FailingCase> {};

TEST_P(ConvertRefuses, LeavingNoFileBehind)
{
    qztest::TempDir dir;
    WriteRecord360(dir / "rec");
    ConvertOptions options;
    options.input = dir / "rec";
    options.outputDirectory = dir / "out";
    std::filesystem::create_directory(options.outputDirectory);
    options.annotations = dir / "rec.atr";
    GetParam().spoil(dir.path(), options);
    const auto before = qztest::ListDirectory(dir / "out");
    EXPECT_THROW(qzkit::Convert(options), qzkit::ToolkitError);
    EXPECT_EQ(qztest::ListDirectory(dir / "out"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ConvertRefuses,
    ::testing::Values(
        FailingCase{"MissingRecord", [](const auto &, auto &o) { o.input = o.input.parent_path() / "none"; }},
        FailingCase{"TooShortForAWindow",
                    [](const auto &dir, auto &) {
                        std::ofstream(dir / "rec.hea") << "rec 1 360 1000\nrec.dat 16 200(512)/mV 16 512\n";
                    }},
        FailingCase{"WindowLength", [](const auto &, auto &o) { o.windowLength = 1000; }},
        FailingCase{"NameBreakingTheManifest", [](const auto &, auto &o) { o.name = "a,b"; }},
        FailingCase{"UnitsNotVoltage",
                    [](const auto &dir, auto &) {
                        std::ofstream(dir / "rec.hea") << "rec 1 360 7200\nrec.dat 16 200(512)/mmHg 16 512\n";
                    }},
        FailingCase{"BothReferences", [](const auto &dir, auto &o) { o.beatTimes = dir / "rec.beats.csv"; }},
        FailingCase{"ManifestCannotBeWritten",
                    [](const auto &dir, auto &) { std::filesystem::create_directory(dir / "out" / "rec.manifest.csv"); }}),
    [](const ::testing::TestParamInfo<FailingCase> &param) { return param.param.name; });

}  // namespace

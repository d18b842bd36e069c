// SPDX-License-Identifier: Apache-2.0
// The C interface: the tool's result record for the shipped examples, from
// samples and from the packed buffer, its refusals, and no file unless named.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>
#include <qz_vozozi_DE/qz_heart_rate.h>

#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

namespace fs = std::filesystem;

const fs::path kExamples = QZ_EXAMPLES_DIR;

std::vector<std::uint16_t> ResultWords(const qz_result &result)
{
    std::vector<std::uint16_t> words = {result.bpm, result.qi, result.classified, result.peak_count};
    words.insert(words.end(), std::begin(result.peak_locations), std::end(result.peak_locations));
    const qz_statistics &s = result.statistics;
    for (const std::uint32_t value : {std::uint32_t{s.qi_pattern}, std::uint32_t{s.max_peak}, std::uint32_t{s.min_peak},
                                      std::uint32_t{s.high_peak_threshold}, std::uint32_t{s.low_peak_threshold},
                                      std::uint32_t{s.median}}) {
        words.push_back(static_cast<std::uint16_t>(value));
    }
    for (const std::uint32_t value : {s.high_bucket, s.low_bucket, s.middle_bucket, s.signal_sum}) {
        words.push_back(static_cast<std::uint16_t>(value & 0xFFFFu));
        words.push_back(static_cast<std::uint16_t>(value >> 16));
    }
    return words;
}

class CInterface : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }

    std::vector<std::uint8_t> constants = qztest::ReadBytes(kExamples / "ppg250.pvx.filters.v1");
    qztest::TempDir dir;
    qztest::ScopedCwd cwd{dir.path()};
};

// Every field of the tool's result record, with its defaults and with other
// settings, from the samples and from their packed form; a null record name
// leaves the working directory empty.
TEST_F(CInterface, GivesTheToolsResultRecordAndWritesNothingUnnamed)
{
    const qz_settings defaults = qz_default_settings();
    const qz_settings others = {115, 0, 2, 5};
    for (const char *record : {"ecg_72bpm", "ecg_60bpm_600", "ppg_66bpm"}) {
        for (const qz_settings &settings : {defaults, others}) {
            const std::vector<std::string> args = {
                (kExamples / "ppg250").string(), (dir / record).string(), std::to_string(settings.stage_mask),
                std::to_string(settings.peak_detection), std::to_string(settings.beat_method),
                std::to_string(settings.derivative_order)};
            fs::copy_file(kExamples / (std::string(record) + ".ecg"), dir / (std::string(record) + ".ecg"));
            ASSERT_EQ(qztest::RunProcess(QZ_TOOL_PATH, args, dir.path()).status, 0) << record;
            const std::vector<std::uint16_t> expected = qztest::ReadWords(dir / (std::string(record) + ".out"));
            const std::vector<std::uint16_t> samples = qztest::ReadWords(dir / (std::string(record) + ".ecg"));
            for (const auto &file : fs::directory_iterator(dir.path())) {
                fs::remove(file.path());
            }

            qz_result fromSamples{};
            ASSERT_EQ(qz_estimate(constants.data(), constants.size(), samples.data(), samples.size(), &settings,
                                  nullptr, &fromSamples),
                      QZ_OK);
            EXPECT_EQ(ResultWords(fromSamples), expected) << record << " mask " << settings.stage_mask;
            EXPECT_TRUE(fs::is_empty(dir.path())) << record;

            qz::SampleCount = static_cast<qz::UINT16>(samples.size());
            std::vector<std::uint8_t> packed(QZ_PACKED_BYTES(samples.size()));
            qz::hlp_convertUnpackedToPacked(samples.data(), packed.data());
            qz_result fromPacked{};
            ASSERT_EQ(qz_estimate_packed(constants.data(), constants.size(), packed.data(), packed.size(), &settings,
                                         nullptr, &fromPacked),
                      QZ_OK);
            EXPECT_EQ(ResultWords(fromPacked), expected) << record << " mask " << settings.stage_mask;
        }
    }
}

// A named run writes the statistics record (and the stage dumps) there.
TEST_F(CInterface, NamedRunWritesTheToolsFiles)
{
    const std::vector<std::uint16_t> samples = qztest::ReadWords(kExamples / "ecg_72bpm.ecg");
    qz_result result{};
    ASSERT_EQ(qz_estimate(constants.data(), constants.size(), samples.data(), samples.size(), nullptr, "run", &result),
              QZ_OK);
    EXPECT_TRUE(fs::exists(dir / "thresholdmethod.info"));
    EXPECT_EQ(fs::exists(dir / "run.lowpass"), QZ_STAGE_DUMPS == 1);
}

// Lengths the pipeline would run under the wrong rules, a constants image of
// the wrong size and missing data are refused, and the result is left alone.
TEST_F(CInterface, RefusesWhatItCannotRun)
{
    const std::vector<std::uint16_t> samples(QZ_LONG_RECORD_SAMPLES + 4u, 100);
    std::vector<std::uint8_t> packed(QZ_PACKED_BYTES(QZ_LONG_RECORD_SAMPLES) + 5u, 0);
    struct Case {
        const char *name;
        const std::uint8_t *constants;
        std::size_t constantsBytes;
        const std::uint16_t *samples;
        std::size_t count;
        qz_status status;
    };
    const std::uint8_t *image = constants.data();
    for (const Case &c : {Case{"1000 samples", image, 31, samples.data(), 1000, QZ_ERROR_LENGTH},
                          Case{"4 samples", image, 31, samples.data(), 4, QZ_ERROR_LENGTH},
                          Case{"1496 samples", image, 31, samples.data(), 1496, QZ_ERROR_LENGTH},
                          Case{"1504 samples", image, 31, samples.data(), 1504, QZ_ERROR_LENGTH},
                          Case{"30-byte constants", image, 30, samples.data(), 1500, QZ_ERROR_CONSTANTS},
                          Case{"no constants", nullptr, 31, samples.data(), 1500, QZ_ERROR_ARGUMENT},
                          Case{"no samples", image, 31, nullptr, 1500, QZ_ERROR_ARGUMENT}}) {
        qz_result result;
        std::memset(&result, 0xA5, sizeof result);
        const qz_result untouched = result;
        EXPECT_EQ(qz_estimate(c.constants, c.constantsBytes, c.samples, c.count, nullptr, "run", &result), c.status)
            << c.name;
        EXPECT_EQ(std::memcmp(&result, &untouched, sizeof result), 0) << c.name;
    }
    qz_result result{};
    for (const std::size_t bytes : {std::size_t{5}, std::size_t{1250}, std::size_t{1870}, packed.size()}) {
        EXPECT_EQ(qz_estimate_packed(image, 31, packed.data(), bytes, nullptr, "run", &result), QZ_ERROR_LENGTH)
            << bytes;
    }
    EXPECT_EQ(qz_estimate(image, 31, samples.data(), 1500, nullptr, nullptr, nullptr), QZ_ERROR_ARGUMENT);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(CInterfaceVersion, IsTheProjectVersion)
{
    EXPECT_STREQ(qz_version(), QZ_VERSION_NUMBER);
}

}  // namespace

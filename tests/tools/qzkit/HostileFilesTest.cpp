// SPDX-License-Identifier: Apache-2.0
// qzkit against hostile files and names: how outputs are written, what inputs
// are refused, names that would not read back, and quirks of CSV files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

const std::string kConstantsText = QZ_EXAMPLES_DIR "/ecg250.constants.txt";

qztest::RunResult Qzkit(const std::vector<std::string> &args, const std::filesystem::path &cwd)
{
    return qztest::RunProcess(QZKIT_PATH, args, cwd);
}

// A CSV recording of `samples` values (a slow sine), with `prefix` before it.
void WriteCsv(const std::filesystem::path &path, std::size_t samples, const std::string &prefix = "")
{
    std::ofstream csv(path, std::ios::binary);
    csv << prefix;
    for (std::size_t i = 0; i < samples; ++i) {
        csv << (i % 250 < 10 ? 1.0 : 0.0) << "\n";
    }
}

void ExpectFailure(const qztest::RunResult &result, const std::string &message)
{
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
}

TEST(OutputWriting, ThroughLinksNeverOverNonRegularFilesOrInputs)
{
    qztest::TempDir dir;
    std::filesystem::create_symlink("real.pvx", dir / "link.pvx");
    ASSERT_EQ(Qzkit({"constants", "make", kConstantsText, "link.pvx"}, dir.path()).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.pvx"));
    EXPECT_EQ(std::filesystem::file_size(dir / "real.pvx"), 31u);

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ExpectFailure(Qzkit({"constants", "make", kConstantsText, "fifo"}, dir.path()), "not a regular file");
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));

    std::filesystem::copy_file(kConstantsText, dir / "t.txt");
    ExpectFailure(Qzkit({"constants", "make", "t.txt", "t.txt"}, dir.path()), "is also an input");
    EXPECT_EQ(std::filesystem::file_size(dir / "t.txt"), std::filesystem::file_size(kConstantsText));

    const auto piped = Qzkit({"constants", "make", "t.txt", "-"}, dir.path());
    EXPECT_EQ(piped.out.size(), 31u);
    EXPECT_FALSE(std::filesystem::exists(dir / "-"));
}

TEST(OutputWriting, FailedConvertKeepsTheEarlierRun)
{
    qztest::TempDir dir;
    WriteCsv(dir / "rec.csv", 4500);
    const std::vector<std::string> convert{"convert", "rec.csv", "--input-rate", "250"};
    ASSERT_EQ(Qzkit(convert, dir.path()).status, 0);
    const auto before = qztest::ListDirectory(dir.path());
    const auto firstWindow = qztest::ReadBytes(dir / "rec_00000.ecg");
    WriteCsv(dir / "rec.csv", 6000, "5\n");
    std::filesystem::create_directory(dir / "rec_00003.ecg");
    ExpectFailure(Qzkit(convert, dir.path()), "rec_00003.ecg: exists and is not a regular file");
    std::filesystem::remove(dir / "rec_00003.ecg");
    EXPECT_EQ(qztest::ListDirectory(dir.path()), before);
    EXPECT_EQ(qztest::ReadBytes(dir / "rec_00000.ecg"), firstWindow);
}

struct Refusal {
    std::vector<std::string> command;
    std::string message;
};

class RefusedInput : public ::testing::TestWithParam<Refusal> {};

std::string ManifestNaming(const std::string &window)
{
    return "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm\n" + window +
           ",0,0,1500,250,2,60\n";
}

TEST_P(RefusedInput, WithOneLineNamingTheProblem)
{
    qztest::TempDir dir;
    qztest::WriteBytes(dir / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
    for (const char *fifo : {"fifo.ecg", "pipe.hea", "pipe.csv", "pipe.manifest.csv"}) {
        ASSERT_EQ(mkfifo((dir / fifo).c_str(), 0600), 0);
    }
    std::filesystem::create_directory(dir / "folder.csv");
    qztest::WriteSamples(dir / "big.ecg", std::vector<std::uint16_t>(1500, 2000));
    for (const auto &[name, text] : std::vector<std::pair<std::string, std::string>>{
             {"fifo.manifest.csv", ManifestNaming("fifo.ecg")},
             {"big.manifest.csv", ManifestNaming("big.ecg")},
             {"short.edf", "0" + std::string(99, ' ')},
             {"long.txt", std::string(100, 'x') + " = 1\n"}}) {
        std::ofstream(dir / name) << text;
    }
    std::ofstream(dir / "huge.txt").close();
    std::filesystem::resize_file(dir / "huge.txt", (std::uintmax_t{1} << 20) + 1);
    WriteCsv(dir / "rec.csv", 1500);
    const auto before = qztest::ListDirectory(dir.path());
    const auto result = Qzkit(GetParam().command, dir.path());
    ExpectFailure(result, GetParam().message);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(qztest::ListDirectory(dir.path()), before);
}

const std::string kDirectory = "folder.csv: is a directory";
const std::string kNotReadBack = "would not read back";
const std::vector<std::string> kConvert{"convert", "rec.csv", "--input-rate", "250"};

std::vector<std::string> Convert(std::vector<std::string> extra)
{
    extra.insert(extra.begin(), kConvert.begin(), kConvert.end());
    return extra;
}

INSTANTIATE_TEST_SUITE_P(
    InputReading, RefusedInput,
    ::testing::Values(Refusal{{"evaluate", "fifo.manifest.csv", "--constants", "ecg"}, "fifo.ecg: not a regular file"},
                      Refusal{{"info", "pipe.hea"}, "pipe.hea: not a regular file"},
                      Refusal{{"convert", "pipe.csv", "--input-rate", "250"}, "pipe.csv: not a regular file"},
                      Refusal{{"evaluate", "pipe.manifest.csv", "--constants", "ecg"}, "pipe.manifest.csv: not a regular file"},
                      Refusal{{"constants", "make", "/dev/zero", "out"}, "/dev/zero: not a regular file"},
                      Refusal{{"constants", "make", "huge.txt", "out"}, "huge.txt: larger than 1 MiB"},
                      Refusal{{"convert", "folder.csv", "--input-rate", "250"}, kDirectory},
                      Refusal{{"convert", "short.edf"}, "short.edf: 100 bytes, shorter than an EDF header"},
                      Refusal{{"evaluate", "big.manifest.csv", "--constants", "ecg"}, "big.ecg: sample 0 is 2000"},
                      Refusal{{"constants", "make", "long.txt", "out"}, "unknown field '" + std::string(40, 'x') + "'...\n"},
                      Refusal{Convert({"--rate", "1e300"}), "to 1e+300 Hz: ratio"},
                      Refusal{{"synth", "rec", "--rate", "0.001"}, "at least 2 samples per beat"},
                      Refusal{Convert({"--gain", "0"}), "gain must be a positive number, not 0"},
                      Refusal{Convert({"--gain-per-unit", "-3"}), "gain must be a positive number, not -3"},
                      Refusal{Convert({"--centre", "2000"}), "centre must be 0 to 1023 counts"}));

INSTANTIATE_TEST_SUITE_P(Names, RefusedInput,
                         ::testing::Values(Refusal{{"synth", "a,b"}, kNotReadBack},
                                           Refusal{{"synth", "my rec", "--wfdb"}, kNotReadBack},
                                           Refusal{Convert({"--name", "#r"}), kNotReadBack},
                                           Refusal{Convert({"--name", " r"}), kNotReadBack}));

TEST(CsvQuirks, ByteOrderMarkAndNanAreValuesRepeatedBeatsMerge)
{
    qztest::TempDir dir;
    WriteCsv(dir / "bom.csv", 1500, "\xEF\xBB\xBF" "0.5\n");
    const auto bom = Qzkit({"convert", "bom.csv", "--input-rate", "250"}, dir.path());
    EXPECT_NE(bom.out.find("1501 samples"), std::string::npos) << bom.out << bom.err;
    WriteCsv(dir / "nan.csv", 1500, "nan\n");
    ExpectFailure(Qzkit({"convert", "nan.csv", "--input-rate", "250"}, dir.path()), "nan.csv:1: column '0'");

    std::ofstream(dir / "beats.csv") << "\xEF\xBB\xBF" "time_s\n0.5\n1.5\n1.5\n2.5\n3.5\n4.5\n";
    WriteCsv(dir / "rec.csv", 1500);
    const auto converted =
        Qzkit({"convert", "rec.csv", "--input-rate", "250", "--beats", "beats.csv"}, dir.path());
    EXPECT_NE(converted.err.find("beats.csv: 1 repeated beat time merged"), std::string::npos) << converted.err;
    std::ifstream manifest(dir / "rec.manifest.csv");
    std::string header, row;
    std::getline(manifest, header);
    std::getline(manifest, row);
    EXPECT_EQ(row, "rec_00000.ecg,0,0.000000,1500,250,5,60.000,rec.reference-beats.csv");
}

}  // namespace

// SPDX-License-Identifier: Apache-2.0
// What a run answers when it cannot do what it was asked: exit status 2 and
// one line naming the cause, for lost standard output, runaway requests and
// options out of range.
#include <gtest/gtest.h>

#include <fstream>

#include "TestBuffers.h"
#include "constants/ConstantsImage.h"
#include "ToolRunner.h"

namespace {

struct Answer {
    std::string shell;    // the command line after "qzkit", run by /bin/sh in a folder with a record `rec`
    std::string message;  // a part of the one line on standard error
};

class ExitStatus : public ::testing::TestWithParam<Answer> {};

TEST_P(ExitStatus, IsTwoWithOneLineNamingTheCause)
{
    qztest::TempDir dir;
    ASSERT_EQ(qztest::RunProcess(QZKIT_PATH, {"synth", "rec", "--wfdb", "--manifest"}, dir.path()).status, 0);
    qztest::WriteBytes(dir / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
    std::vector<std::uint8_t> negativePeriod = qztest::EcgConstantsImage();
    negativePeriod[qzkit::FindConstantsField("Period").offset + 2] |= 0x80u;  // the 3-byte float's sign
    qztest::WriteBytes(dir / "noperiod.pvx.filters.v1", negativePeriod);
    // A null segment of 10^12 frames, and 3 * 10^8 samples of one signal.
    std::ofstream(dir / "gap.hea") << "gap/2 1 250 1000000001500\n~ 1000000000000\nrec 1500\n";
    std::ofstream(dir / "long.hea") << "long 1 250 300000000\nlong.dat 8 200 8 0 0 0 0 a\n";
    std::ofstream(dir / "long.dat").close();
    std::filesystem::resize_file(dir / "long.dat", 300'000'000);
    const auto result =
        qztest::RunProcess("/bin/sh", {"-c", std::string(QZKIT_PATH) + " " + GetParam().shell}, dir.path());
    EXPECT_EQ(result.status, 2) << result.err;
    // One line, or for a usage error the parser's pointer to --help after it.
    const std::size_t lineEnd = result.err.find('\n');
    EXPECT_NE(result.err.substr(0, lineEnd).find(GetParam().message), std::string::npos) << result.err;
    const std::string rest = result.err.substr(lineEnd + 1);
    EXPECT_TRUE(rest.empty() || rest == "Run with --help for more information.\n") << result.err;
}

const std::string kLost = "cannot write to standard output";

INSTANTIATE_TEST_SUITE_P(
    LostStandardOutput, ExitStatus,
    ::testing::Values(Answer{"info rec >/dev/full", kLost}, Answer{"info --json rec >/dev/full", kLost},
                      Answer{"export rec >/dev/full", "cannot write"},
                      Answer{"constants show ecg.pvx.filters.v1 >/dev/full", kLost},
                      Answer{"evaluate rec.manifest.csv --constants ecg >/dev/full", kLost},
                      Answer{"--version >/dev/full", kLost}, Answer{"--help >/dev/full", kLost},
                      Answer{"export --help >/dev/full", kLost}));

INSTANTIATE_TEST_SUITE_P(
    RefusedRequests, ExitStatus,
    ::testing::Values(Answer{"export gap -o out.csv", "written unless --max-rows allows more"},
                      Answer{"convert long", "would hold more than 268435456 samples at once"},
                      Answer{"evaluate rec.manifest.csv --constants ecg --worst 1000000", "--worst"},
                      Answer{"evaluate rec.manifest.csv --constants ecg --worst -1", "--worst"},
                      Answer{"export rec --from 0x10", "--from '0x10' is neither seconds"},
                      Answer{"conformance --constants missing", "missing"},
                      Answer{"conformance --constants ecg --seeds 0", "--seeds"},
                      Answer{"conformance --constants noperiod", "the constants' Period is -0.0039999485 s"}));

TEST(InfoJson, IsUtf8WhateverTheHeaderEncoding)
{
    qztest::TempDir dir;
    ASSERT_EQ(qztest::RunProcess(QZKIT_PATH, {"synth", "rec", "--wfdb"}, dir.path()).status, 0);
    std::ofstream(dir / "rec.hea") << "rec 2 250 1500\nrec.dat 16 200 10 512 0 0 0 caf\xE9\n"
                                      "rec.dat 16 200 10 512 0 0 0 caf\xC3\xA9\n";
    std::filesystem::resize_file(dir / "rec.dat", 6000);
    const auto json = qztest::RunProcess(QZKIT_PATH, {"info", "--json", "rec"}, dir.path());
    EXPECT_NE(json.out.find("\"caf\\u00e9\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"caf\xC3\xA9\""), std::string::npos) << json.out;
}

}  // namespace

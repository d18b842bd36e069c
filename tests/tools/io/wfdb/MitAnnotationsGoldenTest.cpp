// SPDX-License-Identifier: Apache-2.0
// Annotation files read to what the WFDB package's rdann printed for them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "io/wfdb/MitAnnotations.h"
#include "SharedData.h"

namespace {

struct AnnotationGolden {
    const char *name;
    const char *annotations;  // under the shared folder
    const char *output;       // rdann's output, under wfdb-samples/rdsamp-output/
};

class MitAnnotationsGolden : public ::testing::TestWithParam<AnnotationGolden> {};

// rdann prints: time, sample, mnemonic, subtype, channel, number, then a tab and the text.
TEST_P(MitAnnotationsGolden, ReadsWhatRdannPrints)
{
    const std::filesystem::path shared = qztest::SharedDataDir();
    const AnnotationGolden c = GetParam();
    if (!std::filesystem::exists(shared / "wfdb-samples")) {
        GTEST_SKIP() << "no reference records at " << shared << " (set QZ_SHARED_DIR)";
    }
    const auto annotations = qzkit::ReadMitAnnotations(shared / c.annotations);
    std::ifstream printed(shared / "wfdb-samples" / "rdsamp-output" / c.output);
    std::size_t index = 0;
    for (std::string line; std::getline(printed, line); ++index) {
        ASSERT_LT(index, annotations.size());
        const qzkit::Annotation &a = annotations[index];
        const std::size_t tab = line.find('\t');
        std::istringstream fields(line.substr(0, tab));
        std::string time, mnemonic;
        std::int64_t sample = 0;
        int subtype = 0, channel = 0, number = 0;
        fields >> time >> sample >> mnemonic >> subtype >> channel >> number;
        EXPECT_EQ(a.sample, sample) << line;
        EXPECT_EQ(a.subtype, subtype) << line;
        EXPECT_EQ(a.channel, channel) << line;
        EXPECT_EQ(a.number, number) << line;
        EXPECT_EQ(a.aux, tab == std::string::npos ? "" : line.substr(tab + 1)) << line;
        EXPECT_EQ(qzkit::IsBeatCode(a.code), std::string("NLRaVFJASEj/Q?Benfr").find(mnemonic) != std::string::npos &&
                                                 mnemonic.size() == 1)
            << line;
    }
    EXPECT_EQ(index, annotations.size());
}

INSTANTIATE_TEST_SUITE_P(Files, MitAnnotationsGolden,
                         ::testing::Values(AnnotationGolden{"record100", "ecg/mitdb-100/100.atr", "ann-1"},
                                           AnnotationGolden{"record1003", "wfdb-samples/records/1003.atr", "ann-3"}),
                         [](const ::testing::TestParamInfo<AnnotationGolden> &param) { return param.param.name; });

}  // namespace

// The in-process estimate carries what the tool writes into its result record.
#include <gtest/gtest.h>

#include <filesystem>

#include "ToolRunner.h"
#include "constants/ConstantsImage.h"
#include "io/EcgFile.h"
#include "io/FileBytes.h"
#include "run/Estimator.h"

namespace {

TEST(InProcessEstimator, PeakLocationsAndStatisticsMatchTheToolsResultRecord)
{
    const std::filesystem::path examples(QZ_EXAMPLES_DIR);
    const auto constants = qzkit::ReadConstantsFile(examples / "ecg250.pvx.filters.v1");
    for (const char *record : {"ecg_72bpm", "ecg_60bpm_600"}) {
        qztest::TempDir dir;
        std::filesystem::copy_file(examples / "ecg250.pvx.filters.v1", dir / "ecg250.pvx.filters.v1");
        std::filesystem::copy_file(examples / (std::string(record) + ".ecg"), dir / "rec.ecg");
        ASSERT_EQ(qztest::RunProcess(QZ_TOOL_PATH, {"ecg250", "rec", "127", "1", "2", "5"}, dir.path()).status, 0);
        const auto written = qzkit::ParseResultRecord(qzkit::ReadFileBytes(dir / "rec.out"), record);
        const auto estimate = qzkit::InProcessEstimator(constants, {127, 1, 2, 5}).Run(qzkit::ReadEcgFile(dir / "rec.ecg"));
        EXPECT_EQ(estimate.peakLocations, written.peakLocations) << record;
        EXPECT_EQ(estimate.statistics, written.statistics) << record;
    }
}

}  // namespace

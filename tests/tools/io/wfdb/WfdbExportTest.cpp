// SPDX-License-Identifier: Apache-2.0
// CSV export of a multi-segment record: frame means and every sample,
// channels by name or index, spans, and gaps and invalid samples as empty cells.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "io/wfdb/WfdbExport.h"
#include "ToolkitError.h"
#include "ToolRunner.h"

namespace {

class WfdbExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(dir_ / "m.hea") << "m/3 2 100 4\nlay 0\n~ 1\ns1 3\n";
        std::ofstream(dir_ / "lay.hea") << "lay 2 100 0\n~ 0x2 2(1)/mV 8 0 0 0 0 A\n~ 0 10/uV 8 0 0 0 0 B, comma\n";
        std::ofstream(dir_ / "s1.hea") << "s1 2 100 3\ns1.dat 80x2 2(1)/mV 8 0 0 0 0 A\ns1.dat 80 10/uV 8 0 0 0 0 B, comma\n";
        // Frames [A A B]: (3 5 10) (1 2 invalid) (-1 -4 20).
        qztest::WriteBytes(dir_ / "s1.dat", {131, 133, 138, 129, 130, 0, 127, 124, 148});
    }

    std::string Export(const qzkit::ExportOptions &options) const
    {
        std::ostringstream out;
        std::vector<std::string> warnings;
        qzkit::ExportCsv(qzkit::WfdbRecord(dir_ / "m.hea"), options, out, warnings);
        return out.str();
    }

    qztest::TempDir dir_;
};

TEST_F(WfdbExport, FrameMeansInPhysicalUnits)
{
    EXPECT_EQ(Export({}), "time_s,A,\"B, comma\"\n"
                          "0,,\n"
                          "0.01,1.5,1\n"
                          "0.02,0,\n"
                          "0.03,-1.5,2\n");
}

TEST_F(WfdbExport, EverySampleInAdcUnitsOfChosenChannelsAndSpan)
{
    EXPECT_EQ(Export({{"1", "a"}, "s2", "0.04", true, true}), "time_s,\"B, comma\",A\n"
                                                              "0.02,-32768,1\n"
                                                              "0.025,-32768,2\n"
                                                              "0.03,20,-1\n"
                                                              "0.035,20,-4\n");
}

TEST_F(WfdbExport, RefusesSpansAndChannelsItCannotExport)
{
    const std::vector<std::pair<std::string, std::string>> cases{{"C", ""}, {"", "x"}, {"", "s4"}, {"", "-1"}};
    for (const auto &[channel, from] : cases) {
        qzkit::ExportOptions options;
        options.channels = {channel};
        options.channels.resize(channel.empty() ? 0 : 1);
        options.from = from;
        EXPECT_THROW(Export(options), qzkit::ToolkitError) << channel << from;
    }
}

}  // namespace

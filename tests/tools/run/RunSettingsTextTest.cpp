// SPDX-License-Identifier: Apache-2.0
// The run settings as text: four numbers 0..65535, read and written back.
#include <gtest/gtest.h>

#include "ToolkitError.h"
#include "run/RunSettingsText.h"

namespace {

TEST(RunSettingsText, FourNumbersOrAnErrorAndWrittenBackAsRead)
{
    const auto settings = qzkit::ParseSettings(" 115 0 3 5 ");
    EXPECT_EQ(qzkit::SettingsText(settings), "115 0 3 5");
    EXPECT_EQ(qzkit::ParseSetting("65535", "--mask"), 65535);
    for (const char *bad : {"", "127 1 1", "127 1 1 2 0", "127 1 x 2", "127 1 1 70000", "-1 1 1 2"}) {
        EXPECT_THROW(qzkit::ParseSettings(bad), qzkit::ToolkitError) << bad;
    }
    for (const char *bad : {"", "x", "70000", "-1", "1.5"}) {
        EXPECT_THROW(qzkit::ParseSetting(bad, "--peak"), qzkit::ToolkitError) << bad;
    }
}

}  // namespace

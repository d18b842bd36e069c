// SPDX-License-Identifier: Apache-2.0
// The text encoders, on the texts that need escaping.
#include <gtest/gtest.h>

#include "io/TextFormat.h"

namespace {

TEST(TextFormat, EncodersEscapeWhatTheirFormatNeeds)
{
    const struct {
        std::string text;
        std::string csv;
        std::string markup;
        std::string json;
    } cases[] = {
        {"plain", "plain", "plain", "\"plain\""},
        {"a,b", "\"a,b\"", "a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\"", "say &quot;hi&quot;", "\"say \\\"hi\\\"\""},
        {"1\n2", "\"1\n2\"", "1\n2", "\"1\\u000a2\""},
        {"<a&b>", "<a&b>", "&lt;a&amp;b&gt;", "\"<a&b>\""},
        {"back\\slash", "back\\slash", "back\\slash", "\"back\\\\slash\""},
        {"\xC2\xB5V \xB5V", "\xC2\xB5V \xB5V", "\xC2\xB5V \xB5V", "\"\xC2\xB5V \\u00b5V\""},  // UTF-8 kept, Latin-1 escaped
    };
    for (const auto &c : cases) {
        EXPECT_EQ(qzkit::CsvField(c.text), c.csv) << c.text;
        EXPECT_EQ(qzkit::EscapeMarkup(c.text), c.markup) << c.text;
        EXPECT_EQ(qzkit::JsonString(c.text), c.json) << c.text;
    }
}

TEST(TextFormat, Percent)
{
    EXPECT_EQ(qzkit::Percent(0.9126), "91.3 %");
    EXPECT_EQ(qzkit::Percent(1.0), "100.0 %");
}

}  // namespace

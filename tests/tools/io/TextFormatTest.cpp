// The text encoders, on the texts that need escaping.
#include <gtest/gtest.h>

#include "io/ShortestNumber.h"
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

TEST(TextFormat, NumbersShortestAndPercent)
{
    EXPECT_EQ(qzkit::ShortestNumber(0.1), "0.1");
    EXPECT_EQ(qzkit::ShortestNumber(250.0), "250");
    EXPECT_EQ(qzkit::ShortestNumber(1e-5), "1e-05");
    EXPECT_EQ(qzkit::ShortestFloat(0.004f), "0.004");
    EXPECT_EQ(qzkit::ShortestFloat(-std::numeric_limits<float>::infinity()), "-inf");
    EXPECT_EQ(qzkit::Percent(0.9126), "91.3 %");
    EXPECT_EQ(qzkit::Percent(1.0), "100.0 %");
}

}  // namespace

// SPDX-License-Identifier: Apache-2.0
// Decoding what boards print, the firmware's result line, and the arrival
// rate measured against the host's clock.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "stream/ArrivalRate.h"
#include "stream/DeviceProtocol.h"
#include "stream/StreamDecoder.h"

namespace {

using qzkit::StreamEvent;
using Kind = qzkit::StreamEvent::Kind;

// The events of `bytes` fed in pieces of `piece` bytes, as a serial port
// hands them over.
std::vector<StreamEvent> Decode(qzkit::StreamFormat format, const std::string &column, const std::string &bytes,
                                std::size_t piece = 3)
{
    qzkit::StreamDecoder decoder(format, column);
    std::vector<StreamEvent> events;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::string part = bytes.substr(at, piece);
        decoder.Feed(std::span(reinterpret_cast<const std::uint8_t *>(part.data()), part.size()), events);
    }
    decoder.Finish(events);
    return events;
}

// "s512" for a sample, "r<end>" for a result, "end", "bad" for a bad line.
std::string Summary(const std::vector<StreamEvent> &events)
{
    std::string text;
    for (const StreamEvent &event : events) {
        text += text.empty() ? "" : " ";
        switch (event.kind) {
        case Kind::Sample:
            text += 's';
            text += std::to_string(event.value);
            break;
        case Kind::Result:
            text += 'r';
            text += std::to_string(event.result.end);
            break;
        case Kind::End:
            text += "end";
            break;
        case Kind::BadLine:
            text += "bad";
            break;
        }
    }
    return text;
}

qzkit::DeviceResult SomeResult()
{
    qzkit::DeviceResult result{1600, 1500, {}};
    for (std::size_t i = 0; i < result.words.size(); ++i) {
        result.words[i] = static_cast<std::uint16_t>(i * 0x0F0Fu + 3u);
    }
    return result;
}

TEST(StreamDecoder, TextStreams)
{
    const std::string result = qzkit::ResultLine(SomeResult());
    const struct {
        const char *what;
        std::string column;
        std::string bytes;
        const char *events;
    } cases[] = {
        {"one integer a line, any line end", "", "512\r\n-3\n 1024 \n\n# banner\n7", "s512 s-3 s1024 s7"},
        {"garbage and an overlong line", "", "5x\n" + std::string(600, '1') + "\n9\n", "bad bad s9"},
        {"CSV by index", "1", "0.004,511,3\n0.008;512;3\n0.012\t513\n0.016\n", "s511 s512 s513 bad"},
        {"CSV by a header's name", "ecg", "1,2\ntime,ecg\n0,500\n", "bad s500"},
        {"a result line among the samples", "", "1\n" + result + "\n2\nend\n", "s1 r1600 s2 end"},
        {"a broken result line", "", result.substr(0, result.size() - 1) + "\nresult 10 1500\nresult 1500 700 " +
                                         qzkit::ResultWordsText(SomeResult().words) + "\n", "bad bad bad"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Summary(Decode(qzkit::StreamFormat::Text, c.column, c.bytes)), c.events) << c.what;
    }
    EXPECT_EQ(Decode(qzkit::StreamFormat::Text, "", result, 1).front().result.words, SomeResult().words);
}

TEST(StreamDecoder, WordStreams)
{
    const std::string bytes{'\x00', '\x02', '\xff', '\xff', '\x01'};  // a last odd byte waits for its pair
    EXPECT_EQ(Summary(Decode(qzkit::StreamFormat::Unsigned16, "", bytes)), "s512 s65535");
    EXPECT_EQ(Summary(Decode(qzkit::StreamFormat::Signed16, "", bytes, 1)), "s512 s-1");
}

// Arrivals at `rate` read every `period` seconds with a little jitter.
qzkit::ArrivalRate Arrivals(double rate, double seconds, double period)
{
    qzkit::ArrivalRate arrival;
    for (double t = 0.0; t <= seconds; t += period) {
        const double jitter = 0.002 * std::sin(t * 77.0);
        arrival.Note(t + 10.0 + jitter, static_cast<std::uint64_t>(std::floor(t * rate)));
    }
    return arrival;
}

TEST(ArrivalRate, MeasuresOnceEnoughIsSeen)
{
    EXPECT_FALSE(Arrivals(243.0, 1.5, 0.01).Measured()) << "shorter than two seconds";
    EXPECT_FALSE(Arrivals(243.0, 3.0, 0.25).Measured()) << "bursts need a longer look";
    const std::optional<double> measured = Arrivals(243.0, 2.5, 0.01).Measured();
    ASSERT_TRUE(measured);
    EXPECT_NEAR(*measured, 243.0, 0.3);
    EXPECT_NEAR(*Arrivals(243.0, 6.0, 0.25).Measured(), 243.0, 0.5);
}

TEST(ArrivalRate, SaysHowFarRatesReadOff)
{
    EXPECT_EQ(qzkit::JudgeRate(243.0, 250.0).Text(),
              "sampling rate 243.0 Hz, expected 250 Hz (-2.8 %): heart rates read 2.9 % high");
    EXPECT_EQ(qzkit::JudgeRate(260.0, 250.0).Text(),
              "sampling rate 260.0 Hz, expected 250 Hz (+4.0 %): heart rates read 3.8 % low");
    EXPECT_FALSE(qzkit::JudgeRate(251.0, 250.0).outsideTolerance);
    EXPECT_EQ(qzkit::JudgeRate(251.0, 250.0).Text(), "sampling rate 251.0 Hz, expected 250 Hz (+0.4 %)");
}

}  // namespace

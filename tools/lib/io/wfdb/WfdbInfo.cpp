// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbInfo.h"

#include <cstdint>
#include <cstdio>

#include "io/ShortestDecimal.h"
#include "io/TextFormat.h"
#include "io/wfdb/WfdbExport.h"

namespace qzkit {
namespace {

std::string Seconds(std::uint64_t frames, double rate)
{
    return ShortestDecimal(static_cast<double>(frames) / rate);
}

// "1805.556 s (30:05.556)"
std::string Duration(std::uint64_t frames, double rate)
{
    const double seconds = static_cast<double>(frames) / rate;
    const auto whole = static_cast<unsigned long long>(seconds);
    char text[96];
    std::snprintf(text, sizeof text, "%.3f s (%llu:%02llu:%06.3f)", seconds, whole / 3600, whole / 60 % 60,
                  seconds - static_cast<double>(whole - whole % 60));
    return text;
}

std::string FormatName(int format)
{
    return format == 0 ? "-" : std::to_string(format);
}

std::string SignalList(const WfdbRecord &record, const RecordGap &gap)
{
    std::string list;
    for (const std::size_t signal : gap.signals) {
        list += (list.empty() ? "" : ", ") + record.Signals()[signal].description;
    }
    return list;
}

}  // namespace

std::string DescribeRecord(const WfdbRecord &record)
{
    const double rate = record.FrameRate();
    const std::size_t segments = record.SegmentCount();
    std::string text = "record " + record.Name() + ": " + std::to_string(segments) +
                       (segments == 1 ? " segment, " : " segments, ") + std::to_string(record.Signals().size()) +
                       " signals, " + std::to_string(record.Frames()) + " frames at " + ShortestDecimal(rate) +
                       " Hz, " + Duration(record.Frames(), rate) + "\n";
    for (std::size_t s = 0; s < record.Signals().size(); ++s) {
        const WfdbSignalLine &signal = record.Signals()[s];
        text += Format("  %zu  %-12s format %-4s %d/frame (%s Hz)  gain %s/%s  %d-bit ADC  baseline %s\n", s,
                       signal.description.empty() ? "(unnamed)" : signal.description.c_str(),
                       FormatName(signal.format).c_str(), signal.samplesPerFrame,
                       ShortestDecimal(rate * signal.samplesPerFrame).c_str(), ShortestDecimal(signal.gain).c_str(),
                       signal.units.c_str(), AdcBits(signal), ShortestDecimal(signal.baseline).c_str());
    }
    for (const RecordGap &gap : record.Gaps()) {
        text += "  gap: frames " + std::to_string(gap.frames.from) + " to " + std::to_string(gap.frames.to) + " (" +
                Seconds(gap.frames.from, rate) + " s to " + Seconds(gap.frames.to, rate) + " s), " + gap.reason +
                ": " + (gap.signals.size() == record.Signals().size() ? "every signal" : SignalList(record, gap)) +
                "\n";
    }
    return text;
}

std::string DescribeRecordJson(const WfdbRecord &record)
{
    const double rate = record.FrameRate();
    std::string json = "{\"record\": " + JsonString(record.Name()) +
                       ", \"segments\": " + std::to_string(record.SegmentCount()) +
                       ", \"frames\": " + std::to_string(record.Frames()) +
                       ", \"frame_rate\": " + ShortestDecimal(rate) +
                       ", \"duration_s\": " + Seconds(record.Frames(), rate) + ",\n \"signals\": [";
    for (std::size_t s = 0; s < record.Signals().size(); ++s) {
        const WfdbSignalLine &signal = record.Signals()[s];
        json += std::string(s == 0 ? "" : ",") + "\n  {\"index\": " + std::to_string(s) +
                ", \"description\": " + JsonString(signal.description) + ", \"format\": " +
                std::to_string(signal.format) + ", \"samples_per_frame\": " + std::to_string(signal.samplesPerFrame) +
                ", \"rate\": " + ShortestDecimal(rate * signal.samplesPerFrame) + ", \"gain\": " +
                ShortestDecimal(signal.gain) + ", \"units\": " + JsonString(signal.units) +
                ", \"adc_resolution\": " + std::to_string(AdcBits(signal)) +
                ", \"baseline\": " + ShortestDecimal(signal.baseline) + "}";
    }
    json += "],\n \"gaps\": [";
    const std::vector<RecordGap> gaps = record.Gaps();
    for (std::size_t g = 0; g < gaps.size(); ++g) {
        json += std::string(g == 0 ? "" : ",") + "\n  {\"from_frame\": " + std::to_string(gaps[g].frames.from) +
                ", \"to_frame\": " + std::to_string(gaps[g].frames.to) + ", \"reason\": " +
                JsonString(gaps[g].reason) + ", \"signals\": [";
        for (std::size_t k = 0; k < gaps[g].signals.size(); ++k) {
            json += (k == 0 ? "" : ", ") + std::to_string(gaps[g].signals[k]);
        }
        json += "]}";
    }
    return json + "]}\n";
}

}  // namespace qzkit

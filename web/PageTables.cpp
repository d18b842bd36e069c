// SPDX-License-Identifier: Apache-2.0
// What the page shows or checks, from the code that defines it, as JSON: the
// stage bits and dumps, the run's default settings, the record lengths, the
// largest sample, the file suffixes, the constants size, the design's limits,
// every option of the commands the page runs with its default, and a result
// record's fields.
#include <emscripten/emscripten.h>
#include <qz_vozozi_DE/QZ_DataStructures.h>
#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include <string>
#include <vector>

#include "constants/ConstantsDesign.h"
#include "constants/ConstantsImage.h"
#include "io/ResultRecord.h"
#include "io/StageDumps.h"
#include "io/TextFormat.h"
#include "io/wfdb/WfdbRecord.h"
#include "PageOptions.h"
#include "ToolkitError.h"

namespace {

using qzkit::JsonString;

std::string Member(const std::string &name, const std::string &value)
{
    return JsonString(name) + ":" + value;
}

std::string Number(double value)
{
    return qzkit::Format("%.17g", value);
}

// `items` joined into a JSON array or object.
std::string Joined(const std::vector<std::string> &items, char open, char close)
{
    std::string text(1, open);
    for (const std::string &item : items) {
        text += (text.size() > 1 ? "," : "") + item;
    }
    return text + close;
}

std::string Stages()
{
    std::vector<std::string> stages;
    for (const qzkit::DumpStage &stage : qzkit::DumpStages()) {
        stages.push_back(Joined({Member("bit", Number(stage.maskBit)), Member("name", JsonString(stage.label)),
                                 Member("dump", JsonString(stage.extension))},
                                '{', '}'));
    }
    const std::pair<QZ_StageBit, const char *> undumped[] = {{QZ_STAGE_PEAKS, "peak finding"},
                                                             {QZ_STAGE_BEATRATE, "beat rate"}};
    for (const auto &[bit, name] : undumped) {
        stages.push_back(Joined({Member("bit", Number(bit)), Member("name", JsonString(name)), Member("dump", "null")},
                                '{', '}'));
    }
    return Joined(stages, '[', ']');
}

std::string Settings()
{
    const qz::run_settings_struct defaults;
    return Joined({Member("mask", Number(defaults.StageMask)), Member("peak", Number(defaults.PeakDetection)),
                   Member("beat", Number(defaults.BeatMethod)), Member("derivative", Number(defaults.DerivativeOrder))},
                  '{', '}');
}

// Every option of `command` with its default ("" when it has none).
std::string OptionDefaults(const char *command)
{
    std::vector<std::string> options;
    for (const auto &[name, value] : qzw::OptionDefaults(command)) {
        options.push_back(Member(name, JsonString(value)));
    }
    return Joined(options, '{', '}');
}

std::string DesignLimits()
{
    return Joined({Member("largestRate", Number(qzkit::kLargestDesignRate)),
                   Member("smallestSwing", Number(qzkit::kSmallestSwing)),
                   Member("largestSwing", Number(qzkit::kLargestSwing)),
                   Member("largestBpm", Number(qzkit::kLargestDesignBpm)),
                   Member("largestOnePeakBpm", Number(qzkit::kLargestOnePeakBpm))},
                  '{', '}');
}

std::string StatisticsFields(const qzkit::StatisticsBlock &block)
{
    const std::pair<const char *, std::uint32_t> fields[] = {
        {"QI pattern", block.qiPattern},
        {"MaxPeak", block.maxPeak},
        {"MinPeak", block.minPeak},
        {"HighPeakThreshold", block.highPeakThreshold},
        {"LowPeakThreshold", block.lowPeakThreshold},
        {"Median", block.median},
        {"HighBucket", block.highBucket},
        {"LowBucket", block.lowBucket},
        {"MiddleBucket", block.middleBucket},
        {"Tegur", block.tegur},
    };
    std::vector<std::string> pairs;
    for (const auto &[name, value] : fields) {
        pairs.push_back(Joined({JsonString(name), Number(value)}, '[', ']'));
    }
    return Joined(pairs, '[', ']');
}

std::string &Text()
{
    static std::string text;
    return text;
}

}  // namespace

extern "C" {

// The page's tables, as JSON.
EMSCRIPTEN_KEEPALIVE const char *qzw_tables()
{
    Text() = Joined(
        {
            Member("stages", Stages()),
            Member("settings", Settings()),
            Member("lengths", Joined({Number(QZ_LONG_RECORD_SAMPLES), Number(QZ_SHORT_RECORD_SAMPLES)}, '[', ']')),
            Member("sampleMax", Number(QZ_SAMPLE_MAX)),
            Member("constantsBytes", Number(static_cast<double>(std::tuple_size_v<qzkit::ConstantsImage>))),
            Member("suffixes", Joined({Member("constants", JsonString(QZ_CONSTANTS_EXTENSION)),
                                       Member("record", JsonString(QZ_RECORD_EXTENSION)),
                                       Member("result", JsonString(QZ_RESULT_EXTENSION)),
                                       Member("wfdbHeader", JsonString(qzkit::kWfdbHeaderExtension))},
                                      '{', '}')),
            Member("design", DesignLimits()),
            Member("options", Joined({Member("synth", OptionDefaults("synth")),
                                      Member("design", OptionDefaults("design")),
                                      Member("convert", OptionDefaults("convert"))},
                                     '{', '}')),
        },
        '{', '}');
    return Text().c_str();
}

// The cut-offs the design reaches at `rate` as JSON ({"lowPass": [lowest,
// highest], "highPass": highest}), or the reason there are none ({"error": ...}).
EMSCRIPTEN_KEEPALIVE const char *qzw_design_reach(double rate)
{
    try {
        Text() = Joined({Member("lowPass", Joined({Number(qzkit::LowestLowPassCutoff(rate)),
                                                   Number(qzkit::HighestLowPassCutoff(rate))},
                                                  '[', ']')),
                         Member("highPass", Number(qzkit::HighestHighPassCutoff(rate)))},
                        '{', '}');
    } catch (const qzkit::ToolkitError &error) {
        Text() = Joined({Member("error", JsonString(error.what()))}, '{', '}');
    }
    return Text().c_str();
}

// The fields of the result record in `bytes` as JSON, or the reason it is
// none ({"error": ...}).
EMSCRIPTEN_KEEPALIVE const char *qzw_result_record(const std::uint8_t *bytes, int length)
{
    try {
        const qzkit::ResultRecord record = qzkit::ParseResultRecord(
            std::vector<std::uint8_t>(bytes, bytes + (length > 0 ? length : 0)), QZ_RESULT_EXTENSION);
        std::vector<std::string> peaks;
        for (const std::uint16_t location : record.peakLocations) {
            peaks.push_back(Number(location));
        }
        Text() = Joined({Member("bpm", Number(record.bpm)), Member("qi", Number(record.qi)),
                         Member("classified", record.classified ? "1" : "0"),
                         Member("peakCount", Number(record.peakCount)), Member("peaks", Joined(peaks, '[', ']')),
                         Member("statistics", StatisticsFields(record.statistics))},
                        '{', '}');
    } catch (const qzkit::ToolkitError &error) {
        Text() = Joined({Member("error", JsonString(error.what()))}, '{', '}');
    }
    return Text().c_str();
}

}  // extern "C"

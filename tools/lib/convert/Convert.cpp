// SPDX-License-Identifier: Apache-2.0
#include "convert/Convert.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/CsvTable.h"
#include "io/EcgFile.h"
#include "io/EdfRecording.h"
#include "io/FileBytes.h"
#include "io/ReferenceBeats.h"
#include "io/TextFormat.h"
#include "run/RecordLength.h"
#include "ToolkitError.h"
#include "io/wfdb/WfdbRecording.h"
#include "io/wfdb/WfdbRecord.h"

namespace qzkit {
namespace {

// The reference beats beside the manifest, which names them, so that evaluate
// scores beat by beat without being given the reference again.
constexpr const char *kReferenceBeatsSuffix = ".reference-beats.csv";

std::string LowerExtension(const std::filesystem::path &path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

InputFormat DetectFormat(const std::filesystem::path &input)
{
    RefuseDirectory(input);
    const std::string extension = LowerExtension(input);
    if (extension == ".hea") {
        return InputFormat::Wfdb;
    }
    if (extension == ".edf" || extension == ".bdf") {
        return InputFormat::Edf;
    }
    if (extension == ".csv" || extension == ".txt" || extension == ".tsv") {
        return InputFormat::Csv;
    }
    std::filesystem::path header = input;
    header += ".hea";
    if (std::filesystem::exists(header)) {
        return InputFormat::Wfdb;
    }
    throw ToolkitError(input.string() + ": cannot tell the format; use --format");
}

InputFormat FormatOf(const ConvertOptions &options)
{
    return options.format == InputFormat::Auto ? DetectFormat(options.input) : options.format;
}

// The recording on the target rate's grid. Each run of samples between gaps
// is resampled and mapped on its own, so no gap is ever filled; `hasData`
// marks the converted samples that come from data.
struct Converted {
    std::vector<std::uint16_t> samples;
    std::vector<bool> hasData;
    std::size_t clippedLow = 0;
    std::size_t clippedHigh = 0;
    std::size_t withData = 0;
};

Converted ConvertRuns(const Recording &source, const ConvertOptions &options)
{
    const double ratio = options.targetRate / source.rate;
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    std::size_t start = 0;
    for (const auto &[gapStart, gapEnd] : source.gaps) {
        runs.emplace_back(start, gapStart);
        start = gapEnd;
    }
    runs.emplace_back(start, source.samples.size());
    Converted converted;
    for (const auto &[first, end] : runs) {
        if (static_cast<double>(end - first) * ratio < static_cast<double>(options.windowLength)) {
            continue;  // no window fits between these gaps
        }
        Recording run;
        run.rate = source.rate;
        run.units = source.units;
        run.samples.assign(source.samples.begin() + static_cast<std::ptrdiff_t>(first),
                           source.samples.begin() + static_cast<std::ptrdiff_t>(end));
        const FrontEndResult mapped = ConvertSignal(run, options).mapped;
        const auto offset = static_cast<std::size_t>(std::llround(static_cast<double>(first) * ratio));
        converted.samples.resize(std::max(converted.samples.size(), offset + mapped.samples.size()));
        converted.hasData.resize(converted.samples.size());
        std::copy(mapped.samples.begin(), mapped.samples.end(),
                  converted.samples.begin() + static_cast<std::ptrdiff_t>(offset));
        std::fill_n(converted.hasData.begin() + static_cast<std::ptrdiff_t>(offset), mapped.samples.size(), true);
        converted.clippedLow += mapped.clippedLow;
        converted.clippedHigh += mapped.clippedHigh;
        converted.withData += mapped.samples.size();
    }
    return converted;
}

bool HasDataThroughout(const Converted &converted, WindowSpan span)
{
    const auto first = converted.hasData.begin() + static_cast<std::ptrdiff_t>(span.start);
    return std::all_of(first, first + static_cast<std::ptrdiff_t>(span.length), [](bool data) { return data; });
}

void CreateOutputDirectory(const std::filesystem::path &directory)
{
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        throw ToolkitError("cannot create output directory " + directory.string() + ": " + error.message());
    }
}

// The input without its extension (a WFDB record's without .hea), where
// annotator files lie.
std::filesystem::path RecordBase(const ConvertOptions &options)
{
    std::filesystem::path base = FormatOf(options) == InputFormat::Wfdb ? WfdbHeaderPath(options.input) : options.input;
    return base.replace_extension();
}

std::optional<ReferenceBeats> ReadReference(const ConvertOptions &options)
{
    if (!options.annotations.empty()) {
        return ReadReferenceAnnotations(AnnotationFile(options.annotations, RecordBase(options)),
                                        options.annotationRate);
    }
    if (!options.beatTimes.empty()) {
        return ReadReferenceBeatTimes(options.beatTimes);
    }
    return std::nullopt;
}

// The base name of the window files and the manifest.
std::string OutputName(const ConvertOptions &options)
{
    std::string name = options.name.empty() ? options.input.stem().string() : options.name;
    CheckBaseName(name);
    return name;
}

}  // namespace

double CountsPerUnit(const ConvertOptions &options, const std::string &units)
{
    if (options.gainPerUnit) {
        return *options.gainPerUnit;
    }
    const double perMillivolt = UnitsPerMillivolt(units);
    if (perMillivolt == 0.0) {
        throw ToolkitError("the signal's units " + Quoted(units) + " are not a voltage; give --gain-per-unit");
    }
    return options.gainPerMillivolt / perMillivolt;
}

void ValidateConvertOptions(const ConvertOptions &options)
{
    if (!IsRecordLength(options.windowLength)) {
        throw ToolkitError("window length must be " + RecordLengthsText() + " samples");
    }
    if (!(options.targetRate > 0.0)) {
        throw ToolkitError("target rate must be positive");
    }
    // Before reading the input: the gain in counts per unit has the sign of the gain given.
    ValidateFrontEnd(options.targetRate, {options.acCouplingHz, options.gainPerUnit.value_or(options.gainPerMillivolt),
                                          options.centre});
    if (!options.annotations.empty() && !options.beatTimes.empty()) {
        throw ToolkitError("give reference annotations or beat times, not both");
    }
    if (std::filesystem::exists(options.outputDirectory) && !std::filesystem::is_directory(options.outputDirectory)) {
        throw ToolkitError("output directory " + options.outputDirectory.string() + " is not a directory");
    }
}

std::string WindowFileName(const std::string &name, std::size_t index)
{
    char number[32];
    std::snprintf(number, sizeof number, "_%05zu.ecg", index);
    return name + number;
}

const std::map<std::string, InputFormat> &InputFormatNames()
{
    static const std::map<std::string, InputFormat> names{
        {"auto", InputFormat::Auto}, {"wfdb", InputFormat::Wfdb}, {"csv", InputFormat::Csv}, {"edf", InputFormat::Edf}};
    return names;
}

const std::map<std::string, ResampleQuality> &ResampleQualityNames()
{
    static const std::map<std::string, ResampleQuality> names{
        {"best", ResampleQuality::Best}, {"medium", ResampleQuality::Medium}, {"fast", ResampleQuality::Fast}};
    return names;
}

std::unique_ptr<ChannelReader> OpenChannel(const ConvertOptions &options)
{
    switch (FormatOf(options)) {
    case InputFormat::Wfdb:
        return OpenWfdbChannel(WfdbHeaderPath(options.input), options.channel);
    case InputFormat::Edf:
        return OpenEdfChannel(options.input, options.channel);
    case InputFormat::Csv:
    case InputFormat::Auto:
        break;
    }
    return HeldChannel(ReadCsvRecording(options.input, options.channel, options.inputRate, options.inputUnits));
}

Recording ReadRecording(const ConvertOptions &options)
{
    switch (FormatOf(options)) {
    case InputFormat::Wfdb:
        return ReadWfdbRecording(WfdbHeaderPath(options.input), options.channel);
    case InputFormat::Edf:
        return ReadEdfRecording(options.input, options.channel);
    case InputFormat::Csv:
    case InputFormat::Auto:
        break;
    }
    return ReadCsvRecording(options.input, options.channel, options.inputRate, options.inputUnits, options.progress);
}

ConvertedSignal ConvertSignal(const Recording &source, const ConvertOptions &options)
{
    ConvertedSignal converted;
    converted.countsPerUnit = CountsPerUnit(options, source.units);
    const std::vector<double> resampled = Resample(source.samples, source.rate, options.targetRate, options.quality);
    converted.mapped =
        MapToTenBits(resampled, options.targetRate, {options.acCouplingHz, converted.countsPerUnit, options.centre});
    return converted;
}

ConvertReport Convert(const ConvertOptions &options)
{
    ValidateConvertOptions(options);
    const std::string name = OutputName(options);
    const std::optional<ReferenceBeats> reference = ReadReference(options);
    ConvertReport report;
    report.source = ReadRecording(options);
    report.sourceSamples = report.source.samples.size();
    report.countsPerUnit = CountsPerUnit(options, report.source.units);
    const Converted converted = ConvertRuns(report.source, options);
    report.source.samples.clear();
    report.convertedSamples = converted.samples.size();
    report.clippedLow = converted.clippedLow;
    report.clippedHigh = converted.clippedHigh;
    const std::size_t clipped = converted.clippedLow + converted.clippedHigh;
    report.clippedFraction =
        converted.withData == 0 ? 0.0 : static_cast<double>(clipped) / static_cast<double>(converted.withData);

    const std::size_t step = options.step == 0 ? options.windowLength : options.step;
    std::vector<WindowSpan> spans;
    for (const WindowSpan span : CutWindows(converted.samples.size(), options.windowLength, step)) {
        if (HasDataThroughout(converted, span)) {
            spans.push_back(span);
        } else {
            ++report.windowsOverGaps;
        }
    }
    if (spans.empty()) {
        throw ToolkitError("the recording has " + std::to_string(converted.withData) + " samples at " +
                           Readable(options.targetRate) + " Hz between its gaps, fewer than one window");
    }
    CreateOutputDirectory(options.outputDirectory);
    // The windows, the reference beats and the manifest are put in place together or not at all.
    OutputPlan plan;
    for (std::size_t index = 0; index < spans.size(); ++index) {
        const WindowSpan span = spans[index];
        ManifestEntry entry;
        entry.file = WindowFileName(name, index);
        entry.startSample = span.start;
        entry.samples = span.length;
        entry.rate = options.targetRate;
        if (reference) {
            const WindowReference windowReference = ReferenceForWindow(*reference, span.start, span.length, entry.rate);
            entry.referenceBeats = windowReference.beats;
            entry.referenceBpm = windowReference.bpm;
            entry.beatsFile = name + kReferenceBeatsSuffix;
        }
        const auto first = converted.samples.begin() + static_cast<std::ptrdiff_t>(span.start);
        const std::filesystem::path path = options.outputDirectory / entry.file;
        const std::vector<std::uint8_t> bytes =
            EcgFileBytes(std::vector<std::uint16_t>(first, first + static_cast<std::ptrdiff_t>(span.length)));
        WriteBytesAtomically(path, bytes);
        report.windows.push_back(entry);
    }
    report.manifest = options.outputDirectory / (name + ".manifest.csv");
    RefuseOutputOverInput(report.manifest, {options.input, options.annotations, options.beatTimes});
    if (reference) {
        const std::filesystem::path beatsPath = options.outputDirectory / (name + kReferenceBeatsSuffix);
        RefuseOutputOverInput(beatsPath, {options.input, options.annotations, options.beatTimes});
        WriteFileAtomically(beatsPath, ReferenceBeatsWriter(*reference, options.targetRate));
    }
    WriteFileAtomically(report.manifest, ManifestWriter(report.windows, report.windowsOverGaps));
    plan.Commit();
    if (reference) {
        report.referenceBeats = reference->ticks.size();
    }
    return report;
}

std::string ConvertReportText(const ConvertReport &report)
{
    std::string text;
    text += Format("source: channel '%s', %zu samples at %g Hz (%.1f s), units '%s'\n",
                   report.source.channelName.c_str(), report.sourceSamples, report.source.rate,
                   static_cast<double>(report.sourceSamples) / report.source.rate, report.source.units.c_str());
    if (report.source.invalidSamples > 0) {
        text += Format("invalid samples replaced by the previous value: %zu\n",
                       report.source.invalidSamples);
    }
    text += Format("converted: %zu samples, gain %g counts per %s\n", report.convertedSamples,
                   report.countsPerUnit, report.source.units.empty() ? "unit" : report.source.units.c_str());
    text += Format("clipped: %.4f %% (%zu below 0, %zu above 1023)\n",
                   100.0 * report.clippedFraction, report.clippedLow, report.clippedHigh);
    text += Format("windows: %zu of %zu samples, %zu skipped over gaps, manifest %s\n",
                   report.windows.size(), report.windows.empty() ? 0u : report.windows.front().samples,
                   report.windowsOverGaps, report.manifest.string().c_str());
    if (report.referenceBeats) {
        text += Format("reference beats: %zu\n", *report.referenceBeats);
    }
    return text;
}

}  // namespace qzkit

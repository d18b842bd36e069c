// SPDX-License-Identifier: Apache-2.0
// convert: a recording in WFDB, CSV/text or EDF/BDF form, resampled,
// mapped to 10 bits and cut into the tool's windows with a manifest.
#ifndef QZKIT_CONVERT_H
#define QZKIT_CONVERT_H

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "signal/FrontEnd.h"
#include "io/Manifest.h"
#include "io/Recording.h"
#include "signal/Resampler.h"

namespace qzkit {

enum class InputFormat { Auto, Wfdb, Csv, Edf };

struct ConvertOptions {
    std::filesystem::path input;   // .hea (or the record name), .csv/.txt/.tsv, .edf/.bdf
    InputFormat format = InputFormat::Auto;
    std::string channel;           // name or index; empty: the first that is not a time column
    double inputRate = 0.0;        // text input only
    std::string inputUnits = "mV"; // text input only
    double targetRate = 250.0;
    ResampleQuality quality = ResampleQuality::Best;
    double acCouplingHz = 0.0;
    double gainPerMillivolt = 200.0;
    std::optional<double> gainPerUnit;  // overrides gainPerMillivolt
    double centre = 512.0;
    std::size_t windowLength = QZ_LONG_RECORD_SAMPLES;  // one of the tool's record lengths
    std::size_t step = 0;             // 0: the window length
    std::filesystem::path outputDirectory = ".";
    std::string name;                 // window and manifest base name; default: the input's stem
    std::filesystem::path annotations;  // WFDB annotation file with reference beats
    double annotationRate = 0.0;        // 0: from the annotation file or its record's header
    std::filesystem::path beatTimes;    // or a CSV of reference beat times, seconds
};

struct ConvertReport {
    Recording source;  // the chosen channel as read (samples dropped after conversion)
    std::size_t sourceSamples = 0;
    std::size_t convertedSamples = 0;
    std::size_t clippedLow = 0;
    std::size_t clippedHigh = 0;
    double clippedFraction = 0.0;
    double countsPerUnit = 0.0;
    std::vector<ManifestEntry> windows;
    std::size_t windowsOverGaps = 0;  // not cut: they would overlap a gap of the recording
    std::filesystem::path manifest;
    std::optional<std::size_t> referenceBeats;  // beats in the reference file
};

// The names the command line and the Python package give the choices.
const std::map<std::string, InputFormat> &InputFormatNames();
const std::map<std::string, ResampleQuality> &ResampleQualityNames();

// Reads the chosen channel of the input in physical units.
Recording ReadRecording(const ConvertOptions &options);

// The same channel to read a piece at a time (text recordings are read whole).
std::unique_ptr<ChannelReader> OpenChannel(const ConvertOptions &options);

// ToolkitError for options convert refuses before reading anything.
void ValidateConvertOptions(const ConvertOptions &options);

// The gain in counts per unit of a signal in `units`.
double CountsPerUnit(const ConvertOptions &options, const std::string &units);

// A channel resampled to the target rate and mapped to 10 bits, the samples
// the windows are cut from, with the gain used.
struct ConvertedSignal {
    FrontEndResult mapped;
    double countsPerUnit = 0.0;
};
ConvertedSignal ConvertSignal(const Recording &source, const ConvertOptions &options);

// The file of window `index` of the recording called `name`: NAME_00000.ecg ...
std::string WindowFileName(const std::string &name, std::size_t index);

// Runs the conversion and writes the window files and the manifest
// (NAME_00000.ecg ..., NAME.manifest.csv) into the output directory, which it
// creates when needed. A window that would overlap a gap is not cut. Throws
// ToolkitError for unreadable or inconsistent input; then no file of this
// run is left behind.
ConvertReport Convert(const ConvertOptions &options);

// The report as text lines for the user.
std::string ConvertReportText(const ConvertReport &report);

}  // namespace qzkit

#endif

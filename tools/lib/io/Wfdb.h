// WFDB records: the header file, signal files in formats 212 and 16, and
// annotation files in MIT format; plus writers for records of format 16 and
// for annotation files.
#ifndef QZKIT_WFDB_H
#define QZKIT_WFDB_H

#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

#include "io/Recording.h"

namespace qzkit {

struct WfdbSignalSpec {
    std::string fileName;
    int format = 0;
    std::int64_t byteOffset = 0;
    double gain = 200.0;       // ADC units per physical unit; a gain of 0 in the header means 200
    double baseline = 0.0;     // ADC value of physical zero; defaults to adcZero
    std::string units = "mV";
    int adcResolution = 0;
    double adcZero = 0.0;
    std::string description;
};

struct WfdbHeader {
    std::string recordName;
    double frequency = 250.0;     // samples per second per signal
    std::int64_t sampleCount = 0;  // per signal; 0 when the header does not say
    std::vector<WfdbSignalSpec> signals;
};

// Parses a header. Comment lines (#) and blank lines are skipped. Throws
// ToolkitError for what it cannot read or does not support (multi-segment
// records, several samples per frame, skew); `sourceName` names the header in
// messages.
WfdbHeader ParseWfdbHeader(std::istream &text, const std::string &sourceName);
WfdbHeader ReadWfdbHeader(const std::filesystem::path &headerPath);

// Raw ADC values of every signal, [signal][sample], from the signal files in
// `directory`. Values the format marks invalid (-32768 in format 16, -2048 in
// format 212) are passed through.
std::vector<std::vector<int>> ReadWfdbSignals(const WfdbHeader &header, const std::filesystem::path &directory);

// One channel in physical units; `headerPath` is the .hea file, `channel` a
// name or index (see ChooseChannel).
Recording ReadWfdbRecording(const std::filesystem::path &headerPath, const std::string &channel);

// ---- Annotations (MIT format) ----

struct Annotation {
    std::int64_t sample = 0;  // time in samples of the record
    int code = 0;
    int subtype = 0;
    int channel = 0;
    int number = 0;
    std::string aux;
};

// Reads every annotation, applying the pseudo-annotations SKIP (long time
// step), NUM, SUB, CHN (which, like the number, carries over to later
// annotations) and AUX (text). Throws ToolkitError on a truncated file.
std::vector<Annotation> ReadMitAnnotations(const std::filesystem::path &path);

// True for the annotation codes that mark a beat (normal, bundle branch
// block, premature, escape, paced, fusion, unclassified and the like).
bool IsBeatCode(int code);

// Sampling rate named by a "## time resolution: F" note, or 0.
double AnnotationTimeResolution(const std::vector<Annotation> &annotations);

// ---- Writers ----

// Writes base + ".hea" and base + ".dat" (format 16, one signal) atomically.
void WriteWfdbRecord16(const std::filesystem::path &base, double frequency, const std::vector<int> &samples,
                       double gain, int baseline, const std::string &units, const std::string &description);

// Writes the annotations (in time order) in MIT format, atomically.
void WriteMitAnnotations(const std::filesystem::path &path, const std::vector<Annotation> &annotations);

namespace annotation_code {
inline constexpr int Normal = 1;
inline constexpr int Pvc = 5;
inline constexpr int Note = 22;
inline constexpr int Rhythm = 28;
}  // namespace annotation_code

}  // namespace qzkit

#endif

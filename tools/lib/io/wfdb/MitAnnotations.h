// SPDX-License-Identifier: Apache-2.0
// Annotation files in MIT format: reading (with every pseudo-annotation),
// writing, and which codes mark a beat.
#ifndef QZKIT_MIT_ANNOTATIONS_H
#define QZKIT_MIT_ANNOTATIONS_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qzkit {

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
// annotations) and AUX (text). Throws ToolkitError on a truncated file,
// including one that ends without its end marker.
std::vector<Annotation> ReadMitAnnotations(const std::filesystem::path &path);
std::vector<Annotation> ParseMitAnnotations(const std::vector<std::uint8_t> &bytes, const std::string &source);

// True for the annotation codes that mark a beat (normal, bundle branch
// block, premature, escape, paced, fusion, unclassified and the like).
bool IsBeatCode(int code);

// Sampling rate named by a "## time resolution: F" note, or 0.
double AnnotationTimeResolution(const std::vector<Annotation> &annotations);

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

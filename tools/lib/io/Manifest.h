// SPDX-License-Identifier: Apache-2.0
// The manifest of a converted recording: one CSV row per window file.
#ifndef QZKIT_MANIFEST_H
#define QZKIT_MANIFEST_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "io/AtomicFile.h"
#include "io/CsvTable.h"

namespace qzkit {

struct ManifestEntry {
    std::string file;             // window file, relative to the manifest's directory
    std::size_t startSample = 0;  // first sample of the window in the converted recording
    std::size_t samples = 0;      // 1500 or 600
    double rate = 0.0;            // samples per second
    std::optional<std::size_t> referenceBeats;
    std::optional<double> referenceBpm;
    std::string beatsFile;  // reference beats (ReferenceBeatsWriter), relative to the manifest's directory

    double StartTime() const { return static_cast<double>(startSample) / rate; }
};

// Columns file,start_sample,start_time_s,samples,rate_hz,reference_beats,
// reference_bpm,beats_file; the reference columns are empty when unknown
// (beats_file may be missing from a manifest written by hand). Windows left
// out because they would overlap a gap are counted in a closing comment line.
// Written atomically.
ContentWriter ManifestWriter(const std::vector<ManifestEntry> &entries, std::size_t windowsOverGaps = 0);
void WriteManifest(const std::filesystem::path &path, const std::vector<ManifestEntry> &entries,
                   std::size_t windowsOverGaps = 0);

// Reads a manifest written by WriteManifest. ToolkitError on a missing column
// or a bad value.
std::vector<ManifestEntry> ReadManifest(const std::filesystem::path &path);

// The entries of a manifest already read as a table.
std::vector<ManifestEntry> ParseManifest(const CsvTable &table);

}  // namespace qzkit

#endif

// SPDX-License-Identifier: Apache-2.0
#include "io/Manifest.h"

#include <cstdio>

#include "io/AtomicFile.h"
#include "io/CsvTable.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Largest rate (Hz) and reference rate (BPM) read, so that every number the
// evaluation prints stays readable.
constexpr double kMaxValue = 1e6;

std::optional<std::size_t> FindColumn(const CsvTable &table, const char *name)
{
    for (std::size_t i = 0; i < table.header.size(); ++i) {
        if (table.header[i] == name) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t RequireColumn(const CsvTable &table, const char *name)
{
    const std::optional<std::size_t> column = FindColumn(table, name);
    if (!column) {
        throw ToolkitError(table.source + ": no column " + name);
    }
    return *column;
}

std::size_t Count(const CsvTable &table, std::size_t row, std::size_t column)
{
    const double value = table.Number(row, column);
    if (!(value >= 0.0 && value < 1e15) || value != static_cast<double>(static_cast<std::size_t>(value))) {
        throw ToolkitError(table.source + ":" + std::to_string(table.lineNumbers[row]) + ": column '" +
                           table.header[column] + "' must be a whole number");
    }
    return static_cast<std::size_t>(value);
}

}  // namespace

ContentWriter ManifestWriter(const std::vector<ManifestEntry> &entries, std::size_t windowsOverGaps)
{
    return [&entries, windowsOverGaps](std::ostream &stream) {
        stream << "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm,beats_file\n";
        for (const ManifestEntry &entry : entries) {
            char numbers[160];
            std::snprintf(numbers, sizeof numbers, ",%zu,%.6f,%zu,%.9g,", entry.startSample, entry.StartTime(),
                          entry.samples, entry.rate);
            stream << entry.file << numbers;
            if (entry.referenceBeats) {
                stream << *entry.referenceBeats;
            }
            stream << ',';
            if (entry.referenceBpm) {
                std::snprintf(numbers, sizeof numbers, "%.3f", *entry.referenceBpm);
                stream << numbers;
            }
            stream << ',' << entry.beatsFile << '\n';
        }
        if (windowsOverGaps > 0) {
            stream << "# windows skipped because they would overlap a gap: " << windowsOverGaps << '\n';
        }
    };
}

void WriteManifest(const std::filesystem::path &path, const std::vector<ManifestEntry> &entries,
                   std::size_t windowsOverGaps)
{
    WriteFileAtomically(path, ManifestWriter(entries, windowsOverGaps));
}

std::vector<ManifestEntry> ReadManifest(const std::filesystem::path &path)
{
    return ParseManifest(ReadCsvTable(path));
}

std::vector<ManifestEntry> ParseManifest(const CsvTable &table)
{
    const std::size_t file = RequireColumn(table, "file");
    const std::size_t start = RequireColumn(table, "start_sample");
    const std::size_t samples = RequireColumn(table, "samples");
    const std::size_t rate = RequireColumn(table, "rate_hz");
    const std::size_t beats = RequireColumn(table, "reference_beats");
    const std::size_t bpm = RequireColumn(table, "reference_bpm");
    const std::optional<std::size_t> beatsFile = FindColumn(table, "beats_file");
    std::vector<ManifestEntry> entries;
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        ManifestEntry entry;
        entry.file = table.rows[row][file];
        entry.startSample = Count(table, row, start);
        entry.samples = Count(table, row, samples);
        entry.rate = table.Number(row, rate);
        if (!(entry.rate > 0.0 && entry.rate <= kMaxValue)) {
            throw ToolkitError(table.source + ":" + std::to_string(table.lineNumbers[row]) +
                               ": rate must be above 0 and at most 1000000 Hz");
        }
        if (!table.rows[row][beats].empty()) {
            entry.referenceBeats = Count(table, row, beats);
        }
        if (!table.rows[row][bpm].empty()) {
            entry.referenceBpm = table.Number(row, bpm);
            if (!(*entry.referenceBpm >= 0.0 && *entry.referenceBpm <= kMaxValue)) {
                throw ToolkitError(table.source + ":" + std::to_string(table.lineNumbers[row]) +
                                   ": reference rate must be 0 to 1000000 BPM");
            }
        }
        if (beatsFile) {
            entry.beatsFile = table.rows[row][*beatsFile];
        }
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace qzkit

// SPDX-License-Identifier: Apache-2.0
#include "monitor/MonitorRecording.h"

#include <span>

#include "convert/Convert.h"
#include "io/EcgFile.h"
#include "monitor/EstimateTable.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kEstimatesSuffix = ".estimates.csv";

// `directory`, made when needed, once none of the recording's files is there
// (so that a refusal leaves nothing behind).
std::filesystem::path CheckedDirectory(const std::filesystem::path &directory, const std::string &name)
{
    for (const char *suffix : {".hea", ".dat", kEstimatesSuffix}) {
        const std::filesystem::path path = directory / (name + suffix);
        if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
            throw ToolkitError(path.string() + ": exists; not replaced");
        }
    }
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory)) {
        throw ToolkitError(directory.string() + ": cannot make the directory" +
                           (error ? ": " + error.message() : std::string()));
    }
    return directory;
}

WfdbSignal16 StreamSignal(double rate)
{
    const ConvertOptions frontEnd;
    return {rate, frontEnd.gainPerMillivolt, static_cast<int>(frontEnd.centre), "mV", "stream"};
}

std::filesystem::path Named(const std::filesystem::path &directory, const std::string &name, const char *suffix)
{
    return directory / (name + suffix);
}

std::vector<std::uint8_t> WordBytes(const ResultWords &words)
{
    return EcgFileBytes(std::vector<std::uint16_t>(words.begin(), words.end()));
}

void SaveNew(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    AppendFile(path).Append(bytes);
}

}  // namespace

MonitorRecording::MonitorRecording(const std::filesystem::path &directory, const std::string &name, double rate)
    : directory_(CheckedDirectory(directory, name)), name_(name), record_(directory / name, StreamSignal(rate)),
      estimates_(Named(directory, name, kEstimatesSuffix))
{
    const std::string header = EstimateTableHeader();
    estimates_.Append(std::span(reinterpret_cast<const std::uint8_t *>(header.data()), header.size()));
}

void MonitorRecording::AddEstimateRow(const std::string &row)
{
    estimates_.Append(std::span(reinterpret_cast<const std::uint8_t *>(row.data()), row.size()));
}

void MonitorRecording::Commit()
{
    std::vector<std::int16_t> samples;
    samples.swap(pending_);
    record_.Append(samples);
    record_.Commit();
}

std::filesystem::path SaveDifferingWindow(const std::filesystem::path &directory, const std::string &name,
                                          const Estimate &estimate)
{
    const std::string window = name + '-' + std::to_string(estimate.end);
    SaveNew(Named(directory, window, ".ecg"), EcgFileBytes(estimate.window));
    SaveNew(Named(directory, window, ".out"), WordBytes(estimate.run.words));
    SaveNew(Named(directory, window, ".device.out"), WordBytes(*estimate.device));
    return directory / window;
}

}  // namespace qzkit

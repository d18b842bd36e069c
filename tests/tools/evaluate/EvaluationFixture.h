// SPDX-License-Identifier: Apache-2.0
// A directory of synthetic windows at 250 Hz with known beats, their
// manifest and the ECG constants, as the evaluate tests use it.
#ifndef QZ_EVALUATION_FIXTURE_H
#define QZ_EVALUATION_FIXTURE_H

#include <fstream>
#include <string>
#include <vector>

#include "evaluate/ManifestEvaluation.h"
#include "signal/Synth.h"
#include "TestBuffers.h"
#include "ToolRunner.h"

namespace qztest {

// A directory with synthetic windows at 250 Hz, their manifest and constants.
struct EvaluationFixture {
    TempDir dir;
    std::vector<double> rates{50.0, 72.0, 95.0, 130.0};

    // "w<i><suffix>" in the directory (appended piece by piece: GCC 12 at -O3
    // warns falsely about a chain of string additions here).
    std::filesystem::path File(std::size_t i, const char *suffix) const
    {
        std::string name = "w";
        name += std::to_string(i);
        name += suffix;
        return dir / name;
    }

    EvaluationFixture()
    {
        qztest::WriteBytes(dir / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
        for (std::size_t i = 0; i < rates.size(); ++i) {
            qzkit::SynthOptions options;
            options.bpm = rates[i];
            options.length = i % 2 == 0 ? 1500 : 600;
            options.seed = static_cast<std::uint32_t>(i + 1);
            const auto recording = qzkit::Synthesize(options);
            const std::string base = File(i, "").string();
            qzkit::WriteSynthFiles(base, recording);
            qzkit::WriteSynthManifest(base, recording);
        }
        // One manifest over the four windows, each with the reference columns
        // of its own manifest but not the beats it names.
        std::ofstream manifest(dir / "all.manifest.csv");
        manifest << "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm\n";
        for (std::size_t i = 0; i < rates.size(); ++i) {
            std::ifstream one(File(i, ".manifest.csv"));
            std::string line;
            std::getline(one, line);
            std::getline(one, line);
            manifest << line.substr(0, line.rfind(',')) << '\n';
        }
    }

    qzkit::EvaluateOptions Options() const
    {
        qzkit::EvaluateOptions options;
        options.manifests = {dir / "all.manifest.csv"};
        options.constants = {dir / "ecg"};
        options.output = dir / "out.csv";
        options.summary = dir / "summary.txt";
        return options;
    }

    // Each window as a recording of its own, with the true beats its manifest names.
    qzkit::EvaluateOptions PerRecordOptions() const
    {
        qzkit::EvaluateOptions options = Options();
        options.manifests.clear();
        for (std::size_t i = 0; i < rates.size(); ++i) {
            options.manifests.push_back(File(i, ".manifest.csv"));
        }
        return options;
    }
};

}  // namespace qztest

#endif

// SPDX-License-Identifier: Apache-2.0
// Scoring for `qzkit constants tune` run with its scoring outside it: one
// shard of the search's data, read where it is scored, and a candidate's
// counts on it, through the code the command's own workers run.
#include <cstdint>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include <pybind11/stl.h>

#include "Bindings.h"
#include "ToolkitError.h"
#include "tune/TuneData.h"
#include "tune/TuneScorer.h"

namespace py = pybind11;

namespace {

using Settings = std::tuple<qz::UINT16, qz::UINT16, qz::UINT16, qz::UINT16>;

qzkit::ScoreSet SetNamed(const std::string &name)
{
    if (name != "training" && name != "validation") {
        throw qzkit::ToolkitError("a shard is of the training or the validation set, not '" + name + "'");
    }
    return name == "training" ? qzkit::ScoreSet::Training : qzkit::ScoreSet::Validation;
}

class Shard {
public:
    Shard(const std::string &set, const std::string &text) : set_(SetNamed(set))
    {
        const py::gil_scoped_release released;
        data_ = qzkit::LoadShard({set_, text});
    }

    // The counts of the candidate on this shard (CountsOf with the
    // validation counts).
    std::vector<std::uint64_t> Score(const py::bytes &constants, const Settings &settings) const
    {
        const qzkit::ConstantsImage image = ImageOf(constants);
        const auto &[mask, peak, beat, derivative] = settings;
        const qz::run_settings_struct run{mask, peak, beat, derivative};
        const py::gil_scoped_release released;
        const std::lock_guard<std::mutex> hold(LibraryLock());
        return qzkit::CountsOf(qzkit::ScoreCandidate(data_, image, run, set_), true);
    }

    // The bytes of samples it holds.
    std::size_t Bytes() const
    {
        std::size_t bytes = 0;
        for (const qzkit::PreparedRun &run : data_.battery) {
            bytes += run.samples.size() * sizeof(std::uint16_t);
        }
        for (const auto *records : {&data_.training, &data_.validation}) {
            for (const qzkit::RecordInput &record : *records) {
                for (const std::vector<std::uint16_t> &window : record.windows) {
                    bytes += window.size() * sizeof(std::uint16_t);
                }
            }
        }
        return bytes;
    }

private:
    qzkit::ScoreSet set_;
    qzkit::TuneData data_;
};

}  // namespace

void BindTune(py::module_ &module)
{
    module.attr("TUNE_SCORING_TITLE") = qzkit::kScoringTitle;
    py::class_<Shard>(module, "TuneShard",
                      "One shard of a constants search's data (the text qzkit constants tune names it by), read "
                      "here; qzkit.Error when what is read differs from what the search read.")
        .def(py::init<const std::string &, const std::string &>(), py::arg("set"), py::arg("text"))
        .def("score", &Shard::Score, py::arg("constants"), py::arg("settings"),
             "The candidate's counts on this shard: counts add over the shards of a set.")
        .def_property_readonly("nbytes", &Shard::Bytes, "The bytes of samples held.");
}

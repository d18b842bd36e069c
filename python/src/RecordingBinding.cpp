// SPDX-License-Identifier: Apache-2.0
// Recordings for Python: one channel read as `qzkit convert` reads it, the
// front end that makes the tool's 10-bit samples, and the window starts.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include "Bindings.h"
#include "ToolkitError.h"
#include "convert/Convert.h"
#include "convert/WindowWalk.h"

namespace py = pybind11;

namespace {

struct RecordingView {
    py::array_t<double> signal;
    double rate;
    py::str units;
    py::str channel;
    std::size_t invalidSamples;
    std::vector<std::pair<std::size_t, std::size_t>> gaps;
    py::list warnings;
};

template <typename Choice>
Choice Named(const std::map<std::string, Choice> &names, const std::string &name, const char *what)
{
    const auto found = names.find(name);
    if (found == names.end()) {
        std::string known;
        for (const auto &entry : names) {
            known += (known.empty() ? "" : ", ") + entry.first;
        }
        throw qzkit::ToolkitError(std::string(what) + " '" + name + "' is not one of " + known);
    }
    return found->second;
}

template <typename Choice>
std::string NameOf(const std::map<std::string, Choice> &names, Choice choice)
{
    for (const auto &entry : names) {
        if (entry.second == choice) {
            return entry.first;
        }
    }
    return {};
}

template <typename Value>
py::array_t<Value> ArrayOf(const std::vector<Value> &values)
{
    return py::array_t<Value>(static_cast<py::ssize_t>(values.size()), values.data());
}

// convert's options for reading one channel.
qzkit::ConvertOptions SourceOptions(const std::filesystem::path &path, const py::object &channel,
                                    const std::string &format, double rate, const std::string &units)
{
    qzkit::ConvertOptions options;
    options.input = path;
    options.channel = channel.is_none() ? std::string() : std::string(py::str(channel));
    options.format = Named(qzkit::InputFormatNames(), format, "format");
    options.inputRate = rate;
    options.inputUnits = units;
    return options;
}

// And its front end's.
// NOLINTNEXTLINE(readability-function-size): one parameter per Python keyword argument
void SetFrontEnd(qzkit::ConvertOptions &options, double targetRate, const std::string &quality, double acCoupling,
                 double gain, std::optional<double> gainPerUnit, double centre)
{
    options.targetRate = targetRate;
    options.quality = Named(qzkit::ResampleQualityNames(), quality, "quality");
    options.acCouplingHz = acCoupling;
    options.gainPerMillivolt = gain;
    options.gainPerUnit = gainPerUnit;
    options.centre = centre;
}

RecordingView ReadRecord(const std::filesystem::path &path, const py::object &channel, const std::string &format,
                         double rate, const std::string &units)
{
    const qzkit::ConvertOptions options = SourceOptions(path, channel, format, rate, units);
    qzkit::Recording recording;
    {
        const py::gil_scoped_release released;
        recording = qzkit::ReadRecording(options);
    }
    py::list warnings;
    for (const std::string &warning : recording.warnings) {
        warnings.append(PythonText(warning));
    }
    return {ArrayOf(recording.samples),        recording.rate,           PythonText(recording.units),
            PythonText(recording.channelName), recording.invalidSamples, std::move(recording.gaps),
            warnings};
}

// NOLINTNEXTLINE(readability-function-size): one parameter per Python keyword argument
py::array_t<std::uint16_t> FrontEnd(const py::array_t<double, py::array::c_style | py::array::forcecast> &signal,
                                    double rate, const std::string &units, double targetRate,
                                    const std::string &quality, double acCoupling, double gain,
                                    std::optional<double> gainPerUnit, double centre)
{
    if (signal.ndim() != 1) {
        throw qzkit::ToolkitError("the signal is a 1-D array, not " + std::to_string(signal.ndim()) + "-D");
    }
    qzkit::Recording source;
    source.rate = rate;
    source.units = units;
    source.samples.assign(signal.data(), signal.data() + signal.size());
    qzkit::ConvertOptions options;
    SetFrontEnd(options, targetRate, quality, acCoupling, gain, gainPerUnit, centre);
    qzkit::ConvertedSignal converted;
    {
        const py::gil_scoped_release released;
        converted = qzkit::ConvertSignal(source, options);
    }
    return ArrayOf(converted.mapped.samples);
}

// NOLINTNEXTLINE(readability-function-size): one parameter per Python keyword argument
std::unique_ptr<qzkit::WindowWalk> StartWalk(const std::filesystem::path &path, const py::object &channel,
                                            std::size_t length, std::size_t step, const std::string &format,
                                            double rate, const std::string &units, double targetRate,
                                            const std::string &quality, double acCoupling, double gain,
                                            std::optional<double> gainPerUnit, double centre)
{
    qzkit::ConvertOptions options = SourceOptions(path, channel, format, rate, units);
    SetFrontEnd(options, targetRate, quality, acCoupling, gain, gainPerUnit, centre);
    options.windowLength = length;
    options.step = step;
    const py::gil_scoped_release released;
    return std::make_unique<qzkit::WindowWalk>(options);
}

py::tuple NextWindow(qzkit::WindowWalk &walk)
{
    std::optional<qzkit::WalkedWindow> window;
    {
        const py::gil_scoped_release released;
        window = walk.Next();
    }
    if (!window) {
        throw py::stop_iteration();
    }
    return py::make_tuple(window->start, ArrayOf(window->samples));
}

std::vector<std::size_t> WindowStarts(std::size_t total, std::size_t length, std::size_t step)
{
    std::vector<std::size_t> starts;
    for (const qzkit::WindowSpan &span : qzkit::CutWindows(total, length, step)) {
        starts.push_back(span.start);
    }
    return starts;
}

}  // namespace

void BindRecordings(py::module_ &module)
{
    py::class_<RecordingView>(module, "Recording", "One channel of a recording in physical units.")
        .def_readonly("signal", &RecordingView::signal, "the samples, float64, in `units`")
        .def_readonly("rate", &RecordingView::rate, "samples per second")
        .def_readonly("units", &RecordingView::units, "e.g. 'mV'; empty when the source does not say")
        .def_readonly("channel", &RecordingView::channel, "the channel's name")
        .def_readonly("invalid_samples", &RecordingView::invalidSamples,
                      "samples the source marks invalid, replaced by the previous valid value")
        .def_readonly("gaps", &RecordingView::gaps,
                      "(first, end) sample ranges without data (NaN in the signal); convert converts each run "
                      "between gaps on its own and cuts no window over a gap")
        .def_readonly("warnings", &RecordingView::warnings, "what the reader noticed, one line each")
        .def("__repr__", [](const RecordingView &view) {
            return py::str("<Recording {!r}: {} samples at {} Hz, units {!r}>")
                .format(view.channel, view.signal.size(), view.rate, view.units);
        });
    const qzkit::ConvertOptions defaults;
    module.def("read_record", &ReadRecord, py::arg("path"), py::arg("channel") = py::none(), py::kw_only(),
               py::arg("format") = NameOf(qzkit::InputFormatNames(), defaults.format), py::arg("rate") = defaults.inputRate,
               py::arg("units") = defaults.inputUnits,
               R"(Reads one channel of a recording as `qzkit convert` reads it.

path: a WFDB header (.hea, or the record name), a CSV/text file (.csv .txt .tsv) or an EDF/BDF file.
channel: the channel's zero-based index (a number is always an index) or its name (WFDB description,
  EDF label, CSV column); None: the first channel that is not a time column.
format: 'auto' (from the file name), 'wfdb', 'csv' or 'edf'.
rate, units: the sampling rate and the units of a text recording.
Returns a Recording: signal (float64, physical units), rate, units, channel, invalid_samples,
gaps, warnings.)");
    module.def("front_end", &FrontEnd, py::arg("signal"), py::arg("rate"), py::kw_only(),
               py::arg("units") = defaults.inputUnits, py::arg("target_rate") = defaults.targetRate,
               py::arg("quality") = NameOf(qzkit::ResampleQualityNames(), defaults.quality), py::arg("ac_coupling") = defaults.acCouplingHz,
               py::arg("gain") = defaults.gainPerMillivolt, py::arg("gain_per_unit") = defaults.gainPerUnit,
               py::arg("centre") = defaults.centre,
               R"(The 10-bit samples `qzkit convert` makes from a signal, as uint16.

The signal (physical units, `rate` samples per second) is resampled band-limited to
`target_rate` ('best', 'medium' or 'fast' quality), optionally AC-coupled (first-order
high-pass corner `ac_coupling` Hz), and mapped to round(centre + gain x value) clipped
to 0..1023, with `gain` in counts per mV (converted by `units`) or `gain_per_unit` in
counts per unit of the signal.)");
    module.def("window_starts", &WindowStarts, py::arg("total"), py::arg("length"), py::arg("step"),
               "Starts of the windows of `length` samples, `step` apart, inside `total` samples.");
    module.attr("WINDOW_LENGTH") = defaults.windowLength;
    py::class_<qzkit::WindowWalk>(module, "WindowWalk", "The windows of a record, cut as it is read.")
        // cppcheck-suppress constParameter ; the walk is handed back as Python's iterator, changeable
        .def("__iter__", [](qzkit::WindowWalk &walk) -> qzkit::WindowWalk & { return walk; })
        .def("__next__", &NextWindow)
        .def_property_readonly("rate", [](const qzkit::WindowWalk &walk) { return walk.Source().rate; })
        .def_property_readonly("channel",
                               [](const qzkit::WindowWalk &walk) { return PythonText(walk.Source().channelName); });
    module.def("walk_windows", &StartWalk, py::arg("path"), py::arg("channel"), py::arg("length"), py::arg("step"),
               py::arg("format"), py::arg("rate"), py::arg("units"), py::arg("target_rate"), py::arg("quality"),
               py::arg("ac_coupling"), py::arg("gain"), py::arg("gain_per_unit"), py::arg("centre"),
               "A WindowWalk over the record with convert's options.");
}

// SPDX-License-Identifier: Apache-2.0
// The figures of the shipped example ECG recordings (synthetic, with known
// beat times), run through the heart-rate tool with the shipped ECG
// constants, and the SVG rendered again by an independent renderer
// (rsvg-convert) to prove it is a valid picture of what the figure model says.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "plot/PlotFigure.h"
#include "plot/PlotRender.h"
#include "ToolRunner.h"
#include "ToolkitError.h"

namespace {

using qzkit::Figure;

// How far a beat mapped back by the filter delays may lie from the true R
// wave: the slope energy of a QRS peaks on its steepest edges, not on R.
constexpr std::size_t kBeatTolerance = 5;

struct Pixel {
    int red;
    int green;
    int blue;
};

// A PNG file decoded with cairo; At() gives the pixel that holds a point.
class Image {
public:
    explicit Image(const std::filesystem::path &png)
        : surface_(cairo_image_surface_create_from_png(png.c_str()), cairo_surface_destroy)
    {
        if (cairo_surface_status(surface_.get()) != CAIRO_STATUS_SUCCESS) {
            throw std::runtime_error("cannot decode " + png.string());
        }
        cairo_surface_flush(surface_.get());
    }

    int Width() const { return cairo_image_surface_get_width(surface_.get()); }
    int Height() const { return cairo_image_surface_get_height(surface_.get()); }

    Pixel At(double x, double y) const
    {
        const int column = static_cast<int>(std::floor(x));
        const int row = static_cast<int>(std::floor(y));
        const unsigned char *data = cairo_image_surface_get_data(surface_.get());
        const int stride = cairo_image_surface_get_stride(surface_.get());
        std::uint32_t word = 0;
        std::memcpy(&word, data + row * stride + column * 4, sizeof word);
        return {static_cast<int>((word >> 16) & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
                static_cast<int>(word & 0xFFu)};
    }

private:
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface_;
};

// The signal line passes through every sample's point; the background is
// white and the grid lines are light grey.
bool IsInk(const Pixel &p)
{
    return std::min({p.red, p.green, p.blue}) < 200;
}

bool IsPeakRed(const Pixel &p)
{
    return p.red > 170 && p.green < 90 && p.blue < 90;
}

std::filesystem::path FindOnPath(const std::string &program)
{
    std::istringstream directories(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(directory) / program;
        if (std::filesystem::exists(candidate)) {
            return candidate;
        }
    }
    return {};
}

// A shipped example recording run through the tool (once per test program)
// with the tool's default settings, its true beats and its figure.
struct ExampleRun {
    std::vector<std::size_t> trueBeats;  // sample index of each R wave
    qzkit::RunFiles files;
    Figure figure;

    double TrueBpm() const
    {
        const double meanRr = static_cast<double>(trueBeats.back() - trueBeats.front()) /
                              static_cast<double>(trueBeats.size() - 1u);
        return 60.0 / (meanRr * static_cast<double>(files.constants.Period));
    }
    const qzkit::Panel &PeakPanel() const { return figure.panels[figure.peakPanel]; }
};

const std::filesystem::path kExamples = QZ_EXAMPLES_DIR;

std::vector<std::size_t> ReadTrueBeats(const std::filesystem::path &csv)
{
    std::ifstream stream(csv);
    std::string line;
    std::getline(stream, line);  // sample,time_s,type
    std::vector<std::size_t> beats;
    while (std::getline(stream, line)) {
        beats.push_back(std::stoul(line.substr(0, line.find(','))));
    }
    return beats;
}

const ExampleRun &Example(const std::string &name)
{
    static std::map<std::string, ExampleRun> runs;
    const auto found = runs.find(name);
    if (found != runs.end()) {
        return found->second;
    }
    qzkit::RunSettings settings;
    settings.mask = 127;
    settings.peakDetection = 1;
    settings.beatMethod = 1;
    settings.derivativeOrder = 2;
    qzkit::RunFiles files =
        qzkit::ReadAndRun({kExamples / name, kExamples / "ecg250", {}}, {127, 1, 1, 2});
    Figure figure = qzkit::BuildFigure(files, settings);
    return runs[name] = {ReadTrueBeats(kExamples / (name + ".beats.csv")), std::move(files), std::move(figure)};
}

class PlotShippedExample : public ::testing::TestWithParam<std::string> {};

TEST_P(PlotShippedExample, EveryDetectedPeakIsMarkedAndMapsBackOntoItsTrueBeat)
{
    const ExampleRun &run = Example(GetParam());
    const qzkit::Panel &peaks = run.PeakPanel();
    ASSERT_EQ(peaks.peaks.size(), run.files.result.peakCount);
    const std::vector<qzkit::BeatMarker> &beats = run.figure.panels.front().beats;
    ASSERT_EQ(beats.size(), run.trueBeats.size());
    EXPECT_EQ(run.figure.beatDelay, 12u);
    for (std::size_t i = 0; i < beats.size(); ++i) {
        EXPECT_EQ(peaks.peaks[i].value, peaks.samples[peaks.peaks[i].sample]);
        const std::size_t truth = run.trueBeats[i];
        EXPECT_LE(beats[i].sample > truth ? beats[i].sample - truth : truth - beats[i].sample, kBeatTolerance)
            << "beat " << i + 1 << " at " << beats[i].sample << ", R wave at " << truth;
    }
}

INSTANTIATE_TEST_SUITE_P(Ecg, PlotShippedExample, ::testing::Values("ecg_72bpm", "ecg_60bpm_600"));

TEST(PlotRender, SvgRendersElsewhereAsTheSamePicture)
{
    const Figure &figure = Example("ecg_72bpm").figure;
    const std::filesystem::path rsvg = FindOnPath("rsvg-convert");
    ASSERT_FALSE(rsvg.empty()) << "rsvg-convert (librsvg2-bin) is needed: scripts/install-deps.sh plot";
    const qztest::TempDir out;
    qzkit::WriteFigureFiles(out / "figure", qzkit::RenderFigure(figure));
    const std::vector<std::uint8_t> bytes = qztest::ReadBytes(out / "figure.svg");
    const std::string svg(bytes.begin(), bytes.end());
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("width=\"1400px\""), std::string::npos);

    const qztest::RunResult converted =
        qztest::RunProcess(rsvg.string(), {"-o", (out / "rsvg.png").string(), (out / "figure.svg").string()}, out.path());
    ASSERT_EQ(converted.status, 0) << converted.err;
    const Image rendered(out / "rsvg.png");
    const Image drawn(out / "figure.png");
    ASSERT_EQ(rendered.Width(), 1400);
    ASSERT_EQ(drawn.Width(), 1400);
    ASSERT_EQ(rendered.Height(), static_cast<int>(std::ceil(figure.height)));
    ASSERT_EQ(drawn.Height(), rendered.Height());

    for (const qzkit::PeakMarker &peak : figure.panels[figure.peakPanel].peaks) {
        EXPECT_TRUE(IsPeakRed(rendered.At(peak.x, peak.y))) << "peak " << peak.number;
        EXPECT_TRUE(IsPeakRed(drawn.At(peak.x, peak.y))) << "peak " << peak.number;
    }
    for (const qzkit::Panel &panel : figure.panels) {
        for (std::size_t n = 0; n < panel.samples.size(); n += 7) {
            const double x = figure.XOf(static_cast<double>(n));
            const double y = panel.YOf(panel.samples[n]);
            ASSERT_TRUE(IsInk(rendered.At(x, y))) << panel.title << ", sample " << n;
            ASSERT_TRUE(IsInk(drawn.At(x, y))) << panel.title << ", sample " << n;
        }
    }
}

}  // namespace

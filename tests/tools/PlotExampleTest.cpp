// The figure of an example run: a synthetic ECG with known beat times, run
// through the heart-rate tool with the shipped ECG constants, drawn, and the
// SVG rendered again by an independent renderer (rsvg-convert) to prove it is
// a valid picture of what the figure model says.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "PlotFigure.h"
#include "PlotRender.h"
#include "PlotToolRun.h"
#include "Synth.h"
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

class PlotExample : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qzkit::SynthOptions options;
        options.bpm = 72.0;
        options.noise = 2.0;
        options.wander = 15.0;
        options.seed = 3;
        recording_ = new qzkit::SynthRecording(qzkit::Synthesize(options));
        directory_ = new qztest::TempDir();
        qztest::WriteSamples(*directory_ / "example.ecg", recording_->samples);
        qzkit::RunSettings settings;
        settings.mask = 127;
        settings.peakDetection = 1;
        settings.beatMethod = 1;
        settings.derivativeOrder = 2;
        files_ = new qzkit::RunFiles(qzkit::RunToolAndRead(
            {QZ_TOOL_PATH, *directory_ / "example", std::filesystem::path(QZ_EXAMPLES_DIR) / "ecg250", settings}));
        figure_ = new Figure(qzkit::BuildFigure(*files_, settings));
    }

    static void TearDownTestSuite()
    {
        delete figure_;
        delete files_;
        delete directory_;
        delete recording_;
    }

    static const qzkit::Panel &PeakPanel() { return figure_->panels[figure_->peakPanel]; }

    static qzkit::SynthRecording *recording_;
    static qztest::TempDir *directory_;
    static qzkit::RunFiles *files_;
    static Figure *figure_;
};

qzkit::SynthRecording *PlotExample::recording_ = nullptr;
qztest::TempDir *PlotExample::directory_ = nullptr;
qzkit::RunFiles *PlotExample::files_ = nullptr;
Figure *PlotExample::figure_ = nullptr;

TEST_F(PlotExample, OnePanelPerSignalInPipelineOrder)
{
    const std::vector<std::string> titles{"recording example", "low-pass", "high-pass", "derivative", "squared",
                                          "moving average (two passes) - what the peak finder saw"};
    ASSERT_EQ(figure_->panels.size(), titles.size());
    for (std::size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(figure_->panels[i].title, titles[i]);
        EXPECT_EQ(figure_->panels[i].kind, qzkit::PanelKind::Signal);
        EXPECT_EQ(figure_->panels[i].samples.size(), 1500u);
    }
    EXPECT_EQ(figure_->peakPanel, 5u);
    EXPECT_EQ(figure_->panels[0].samples, recording_->samples);
    EXPECT_EQ(figure_->panels[5].samples, *files_->dumps[4]);
}

TEST_F(PlotExample, TitleShowsTheRunResult)
{
    const qzkit::FigureTitle &title = figure_->title;
    EXPECT_EQ(title.recordName, "example");
    EXPECT_NEAR(title.bpm, qzkit::TrueBpm(*recording_), 2.0);
    EXPECT_EQ(title.qi, 0u);
    EXPECT_EQ(title.peakCount, recording_->beats.size());
    EXPECT_EQ(title.classification, "not used (regular peaks: single or average interval)");
    EXPECT_EQ(figure_->headline, "example   BPM " + std::to_string(title.bpm) + "   QI 0   " +
                                     std::to_string(title.peakCount) + " peaks");
    ASSERT_TRUE(files_->methodDump.has_value());
    EXPECT_EQ(*files_->methodDump, files_->result.statistics);
}

TEST_F(PlotExample, EveryDetectedPeakIsMarkedAndMapsBackOntoItsTrueBeat)
{
    const qzkit::Panel &peaks = PeakPanel();
    ASSERT_EQ(peaks.peaks.size(), files_->result.peakCount);
    const std::vector<qzkit::BeatMarker> &beats = figure_->panels.front().beats;
    ASSERT_EQ(beats.size(), recording_->beats.size());
    EXPECT_EQ(figure_->beatDelay, 12u);
    for (std::size_t i = 0; i < beats.size(); ++i) {
        EXPECT_EQ(peaks.peaks[i].value, peaks.samples[peaks.peaks[i].sample]);
        const std::size_t truth = recording_->beats[i].sample;
        EXPECT_LE(beats[i].sample > truth ? beats[i].sample - truth : truth - beats[i].sample, kBeatTolerance)
            << "beat " << i + 1 << " at " << beats[i].sample << ", R wave at " << truth;
    }
}

TEST_F(PlotExample, SvgRendersElsewhereAsTheSamePicture)
{
    const std::filesystem::path rsvg = FindOnPath("rsvg-convert");
    ASSERT_FALSE(rsvg.empty()) << "rsvg-convert (librsvg2-bin) is needed: scripts/install-deps.sh plot";
    const qztest::TempDir out;
    qzkit::WriteFigureFiles(out / "figure", qzkit::RenderFigure(*figure_));
    const std::string svg(reinterpret_cast<const char *>(qztest::ReadBytes(out / "figure.svg").data()),
                          std::filesystem::file_size(out / "figure.svg"));
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("width=\"1400px\""), std::string::npos);

    const qztest::RunResult converted =
        qztest::RunProcess(rsvg.string(), {"-o", (out / "rsvg.png").string(), (out / "figure.svg").string()}, out.path());
    ASSERT_EQ(converted.status, 0) << converted.err;
    const Image rendered(out / "rsvg.png");
    const Image drawn(out / "figure.png");
    ASSERT_EQ(rendered.Width(), 1400);
    ASSERT_EQ(drawn.Width(), 1400);
    ASSERT_EQ(rendered.Height(), static_cast<int>(std::ceil(figure_->height)));
    ASSERT_EQ(drawn.Height(), rendered.Height());

    for (const qzkit::PeakMarker &peak : PeakPanel().peaks) {
        EXPECT_TRUE(IsPeakRed(rendered.At(peak.x, peak.y))) << "peak " << peak.number;
        EXPECT_TRUE(IsPeakRed(drawn.At(peak.x, peak.y))) << "peak " << peak.number;
    }
    for (const qzkit::Panel &panel : figure_->panels) {
        for (std::size_t n = 0; n < panel.samples.size(); n += 7) {
            const double x = figure_->XOf(static_cast<double>(n));
            const double y = panel.YOf(panel.samples[n]);
            ASSERT_TRUE(IsInk(rendered.At(x, y))) << panel.title << ", sample " << n;
            ASSERT_TRUE(IsInk(drawn.At(x, y))) << panel.title << ", sample " << n;
        }
    }
}

TEST_F(PlotExample, PairIsWrittenWholeOrNotAtAll)
{
    const qztest::TempDir out;
    std::filesystem::create_directory(out / "figure.png");  // the PNG cannot take its place
    EXPECT_THROW(qzkit::WriteFigureFiles(out / "figure", qzkit::RenderFigure(*figure_)), qzkit::ToolkitError);
    std::vector<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(out.path())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"figure.png"}) << "no SVG and no temporary file";
}

}  // namespace

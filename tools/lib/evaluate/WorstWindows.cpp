// SPDX-License-Identifier: Apache-2.0
#include "evaluate/WorstWindows.h"

#include <algorithm>
#include <cmath>

#include "plot/PlotFigure.h"
#include "plot/PlotRender.h"
#include "constants/ConstantsImage.h"
#include "io/BaseName.h"
#include "io/EcgFile.h"
#include "plot/PlotInputs.h"

namespace qzkit {
namespace {

void ReplaceAll(std::string &text, const std::string &from, const std::string &to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string PageSvg(const std::vector<std::uint8_t> &bytes, const std::string &idPrefix)
{
    std::string svg(bytes.begin(), bytes.end());
    svg.erase(0, svg.find("<svg"));
    ReplaceAll(svg, "id=\"", "id=\"" + idPrefix);
    ReplaceAll(svg, "href=\"#", "href=\"#" + idPrefix);
    ReplaceAll(svg, "url(#", "url(#" + idPrefix);
    svg.insert(4, " style=\"width:100%;height:auto\"");
    return svg;
}

}  // namespace

std::vector<WindowPick> WorstWindows(const EvaluateReport &report, std::size_t count)
{
    std::vector<WindowPick> picks;
    for (std::size_t c = 0; c < report.combinations.size(); ++c) {
        const std::vector<WindowResult> &results = report.combinations[c].results;
        for (std::size_t w = 0; w < results.size(); ++w) {
            if (results[w].Answered() && results[w].Error()) {
                picks.push_back({c, w});
            }
        }
    }
    const auto error = [&report](const WindowPick &pick) {
        return std::abs(*report.combinations[pick.combination].results[pick.window].Error());
    };
    std::stable_sort(picks.begin(), picks.end(),
                     [&error](const WindowPick &a, const WindowPick &b) { return error(a) > error(b); });
    picks.resize(std::min(count, picks.size()));
    return picks;
}

std::string RunPictureSvg(const EvaluateReport &report, const EvaluateOptions &options, const WindowPick &pick,
                          const std::string &idPrefix)
{
    const CombinationResult &combination = report.combinations[pick.combination];
    const WindowResult &result = combination.results[pick.window];
    const qz::run_settings_struct &settings = combination.combination.settings;
    const std::filesystem::path window = options.manifests[result.record].parent_path() / result.window.file;
    const RunFiles files =
        RunInProcess(BaseNameFor(window, QZ_RECORD_EXTENSION).filename().string(), ReadEcgFile(window),
                     combination.combination.ConstantsName(), ReadConstantsFile(combination.combination.constants),
                     settings);
    const Figure figure =
        BuildFigure(files, {settings.StageMask, settings.PeakDetection, settings.BeatMethod, settings.DerivativeOrder});
    return PageSvg(RenderFigure(figure).svg, idPrefix);
}

}  // namespace qzkit

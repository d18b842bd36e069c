// SPDX-License-Identifier: Apache-2.0
// The HTML report opened in headless Chromium: every table and figure is
// there and nothing is broken; a screenshot is kept for the test log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include <unistd.h>

#include "EvaluationFixture.h"
#include "run/RunSettingsText.h"

namespace {

std::filesystem::path FindOnPath(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::stringstream directories(path == nullptr ? "" : path);
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(directory) / name;
        if (!directory.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

std::size_t Count(const std::string &text, const std::string &pattern)
{
    const std::regex expression(pattern);
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), expression), std::sregex_iterator()));
}

qztest::RunResult Chromium(const std::filesystem::path &chromium, const qztest::TempDir &dir,
                           const std::vector<std::string> &extra)
{
    std::vector<std::string> args{"--headless",          "--no-sandbox",  "--disable-gpu",
                                  "--disable-background-networking", "--no-first-run",
                                  "--user-data-dir=" + (dir / "profile").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return qztest::RunProcess(chromium, args, dir.path());
}

TEST(ReportPage, OpensInHeadlessChromiumWithEveryTableAndFigure)
{
    const std::filesystem::path chromium = FindOnPath("chromium");
    if (chromium.empty()) {
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
    }
    qztest::EvaluationFixture fixture;
    auto options = fixture.PerRecordOptions();
    options.settings = {{}, qzkit::ParseSettings("127 1 3 2")};
    options.report = fixture.dir / "report.html";
    options.worst = 3;
    const auto report = qzkit::Evaluate(options);
    const std::string url = "file://" + options.report.string();

    const auto dom = Chromium(chromium, fixture.dir, {"--dump-dom", url});
    ASSERT_EQ(dom.status, 0) << dom.err;
    const std::size_t combinations = report.combinations.size();
    // settings, summary, one QI table per combination, records
    EXPECT_EQ(Count(dom.out, "<table"), 3u + combinations);
    // Bland-Altman and histogram per combination, coverage, the worst windows
    EXPECT_EQ(Count(dom.out, "<figure"), 2u * combinations + 1u + options.worst);
    EXPECT_EQ(Count(dom.out, "<figure[^>]*>\\s*<svg"), Count(dom.out, "<figure"))
        << "every figure holds its picture";
    EXPECT_EQ(Count(dom.out, "<(script|img|iframe|link)\\b"), 0u) << "self-contained";
    EXPECT_EQ(Count(dom.out, "<parsererror"), 0u);
    for (const char *text : {"Bland-Altman", "Reference rule", "version", "Worst windows", "127 1 3 2"}) {
        EXPECT_NE(dom.out.find(text), std::string::npos) << text;
    }

    const std::filesystem::path screenshot = std::filesystem::current_path() / "evaluate-report.png";
    const auto shot = Chromium(chromium, fixture.dir,
                               {"--window-size=1280,2400", "--screenshot=" + screenshot.string(), url});
    ASSERT_EQ(shot.status, 0) << shot.err;
    EXPECT_GT(std::filesystem::file_size(screenshot), 10000u);
    std::cout << "report screenshot: " << screenshot.string() << '\n';
}

}  // namespace

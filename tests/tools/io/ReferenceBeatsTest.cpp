// SPDX-License-Identifier: Apache-2.0
// The window rule: which reference beats a window holds and its reference
// rate; which file an --annotations value names.
#include <gtest/gtest.h>

#include <fstream>

#include "io/ReferenceBeats.h"
#include "ToolkitError.h"
#include "ToolRunner.h"

namespace {

using qzkit::ReferenceBeats;
using qzkit::ReferenceForWindow;

ReferenceBeats Beats(std::vector<double> ticks, double ticksPerSecond)
{
    ReferenceBeats beats;
    beats.ticks = std::move(ticks);
    beats.ticksPerSecond = ticksPerSecond;
    return beats;
}

TEST(WindowRule, BeatsOnTheEdgesBelongToTheWindowThatStartsThere)
{
    // Beats every 250 samples at 250 Hz (60 BPM), one on each window edge.
    const auto beats = Beats({0, 250, 500, 750, 1000, 1250, 1500, 1750, 2000, 2250, 2500, 2750, 3000}, 250.0);
    const auto first = ReferenceForWindow(beats, 0, 1500, 250.0);
    EXPECT_EQ(first.firstBeat, 0u);
    EXPECT_EQ(first.beats, 6u) << "the beat at sample 1500 is the next window's";
    ASSERT_TRUE(first.bpm);
    EXPECT_DOUBLE_EQ(*first.bpm, 60.0);
    const auto second = ReferenceForWindow(beats, 1500, 1500, 250.0);
    EXPECT_EQ(second.firstBeat, 6u);
    EXPECT_EQ(second.beats, 6u);
    const auto shifted = ReferenceForWindow(beats, 1, 1500, 250.0);
    EXPECT_EQ(shifted.firstBeat, 1u);
    EXPECT_EQ(shifted.beats, 6u) << "sample 1 drops beat 0 and takes beat 1500";
}

TEST(WindowRule, RateIsSixtyOverTheMeanInterval)
{
    // Intervals 0.8, 1.0 and 1.2 s: mean 1.0 s, 60 BPM (not the mean of 75, 60 and 50).
    const auto beats = Beats({0.5, 1.3, 2.3, 3.5}, 1.0);
    const auto reference = ReferenceForWindow(beats, 0, 1500, 250.0);
    EXPECT_EQ(reference.beats, 4u);
    EXPECT_DOUBLE_EQ(*reference.bpm, 60.0);
}

TEST(AnnotationFile, AnnotatorNamesBesideTheRecordPathsAsTheyAre)
{
    qztest::TempDir dir;
    const qztest::ScopedCwd cwd(dir.path());
    std::ofstream("beats") << "";
    const struct {
        const char *given;
        const char *expected;
    } cases[] = {
        {"atr", "data/100.atr"},             // an annotator name
        {"100.atr", "100.atr"},              // a file name
        {"other/100.qrs", "other/100.qrs"},  // a path
        {"beats", "beats"},                  // a word that is a file here
    };
    for (const auto &c : cases) {
        EXPECT_EQ(qzkit::AnnotationFile(c.given, "data/100"), c.expected) << c.given;
    }
    EXPECT_EQ(qzkit::AnnotationFile("x/100.atr", {}), "x/100.atr");
    EXPECT_THROW(qzkit::AnnotationFile("atr", {}), qzkit::ToolkitError) << "no record to look beside";
}

}  // namespace

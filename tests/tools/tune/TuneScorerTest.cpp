// SPDX-License-Identifier: Apache-2.0
// Scoring a search outside the program: the shards' scores sum to the
// whole's, a shard whose files changed is refused, and the conversation
// with the scorer takes its answers in any order and refuses wrong ones.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "../evaluate/EvaluationFixture.h"
#include "tune/TuneScorer.h"
#include "ToolkitError.h"

namespace {

using namespace qzkit;

ConstantsImage EcgImage()
{
    const std::vector<qz::BYTE> bytes = qztest::EcgConstantsImage();
    ConstantsImage image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

std::string ErrorOf(const std::function<void()> &run)
{
    try {
        run();
    } catch (const ToolkitError &error) {
        return error.what();
    }
    return {};
}

TEST(TuneShards, ScoresOfTheShardsSumToTheWholeAndChangedFilesAreRefused)
{
    const qztest::EvaluationFixture windows;
    BatteryOptions battery;
    battery.constants = RateOnlyImage(250.0);
    battery.seeds = 1;
    battery.families = {"reference", "mains"};
    const std::vector<std::filesystem::path> training{windows.File(0, ".manifest.csv"),
                                                      windows.File(1, ".manifest.csv")};
    const std::vector<std::filesystem::path> validation{windows.File(2, ".manifest.csv")};
    EvaluateOptions trainingOptions;
    trainingOptions.manifests = training;
    EvaluateOptions validationOptions;
    validationOptions.manifests = validation;
    const TuneData data = LoadTuneData(battery, trainingOptions, validationOptions);
    const std::vector<TuneShard> shards = Shards(data, 250.0, 1, training, validation);
    ASSERT_EQ(shards.size(), 5u);

    const qz::run_settings_struct settings{};
    for (const ScoreSet set : {ScoreSet::Training, ScoreSet::Validation}) {
        std::vector<std::uint64_t> sum(CountsOf({}, true).size());
        for (const TuneShard &shard : shards) {
            if (shard.set == set) {
                const std::vector<std::uint64_t> counts =
                    CountsOf(ScoreCandidate(LoadShard(shard), EcgImage(), settings, set), true);
                std::transform(sum.begin(), sum.end(), counts.begin(), sum.begin(), std::plus<>());
            }
        }
        EXPECT_EQ(sum, CountsOf(ScoreCandidate(data, EcgImage(), settings, set), true));
    }

    std::ofstream(windows.File(0, ".ecg"), std::ios::binary | std::ios::in) << '\x01';
    EXPECT_NE(ErrorOf([&] { LoadShard(shards[2]); }).find("differ from the ones the search read"), std::string::npos);
    EXPECT_NE(ErrorOf([] { LoadShard({ScoreSet::Validation, "battery 0 250 1 mains mains"}); }).find("not a shard"),
              std::string::npos);
}

// A conversation: the scorer's lines (written before qzkit reads them), and
// what the batch of three requests ends in: scored, stopped, or the error.
struct Conversation {
    std::string answers;
    bool closes = false;  // the scorer closes its end after its answers
    std::string outcome;  // "scored", "stopped" or part of the error
};

class ScorerConversation : public ::testing::TestWithParam<Conversation> {};

std::string Counts(std::uint64_t withReference)
{
    TuneScores scores;
    scores.validation.withReference = static_cast<std::uint32_t>(withReference);
    return CountsText(scores, true);
}

// Everything sent to `end` so far.
std::string Received(int end)
{
    std::string text;
    char chunk[4096];
    for (ssize_t got = 0; (got = recv(end, chunk, sizeof chunk, MSG_DONTWAIT)) > 0;) {
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
}

TEST_P(ScorerConversation, TakesAnswersInAnyOrderAndRefusesWrongOnes)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const std::string ready = "ready 3\n";
    ASSERT_EQ(write(ends[1], ready.data(), ready.size()), static_cast<ssize_t>(ready.size()));
    OutsideScorer scorer(ends[0], {{ScoreSet::Validation, "manifest 0 /w.manifest.csv"}}, [] { return false; });
    EXPECT_EQ(scorer.Workers(), 3u);
    ASSERT_EQ(write(ends[1], GetParam().answers.data(), GetParam().answers.size()),
              static_cast<ssize_t>(GetParam().answers.size()));
    if (GetParam().closes) {
        shutdown(ends[1], SHUT_WR);
    }
    std::vector<std::uint32_t> arrived(3);
    bool scored = false;
    const std::string error = ErrorOf([&] {
        scored = scorer.Score(std::vector<ScoreRequest>(3), [&arrived](std::size_t i, const TuneScores &scores) {
            arrived[i] = scores.validation.withReference;
        });
    });
    const std::string outcome = !error.empty() ? error : scored ? "scored" : "stopped";
    EXPECT_NE(outcome.find(GetParam().outcome), std::string::npos) << outcome;
    if (scored) {
        EXPECT_EQ(arrived, (std::vector<std::uint32_t>{10, 11, 12}));
    }
    const std::string sent = Received(ends[1]);
    EXPECT_EQ(sent.rfind(std::string(kScoringTitle) + "\nshard validation manifest 0 /w.manifest.csv\nend\nbatch 3\n"
                                                       "score 0 training 127 1 1 2 ",
                         0),
              0u)
        << sent;
    close(ends[0]);
    close(ends[1]);
}

INSTANTIATE_TEST_SUITE_P(
    Tune, ScorerConversation,
    ::testing::Values(Conversation{"2 " + Counts(12) + "\n0 " + Counts(10) + "\n1 " + Counts(11) + "\n", false,
                                   "scored"},
                      Conversation{"2 " + Counts(12) + "\n", true, "stopped"},
                      Conversation{"3 " + Counts(12) + "\n", false, "names no request"},
                      Conversation{"1 " + Counts(1) + "\n1 " + Counts(1) + "\n", false, "names no request"},
                      Conversation{"1 " + Counts(1) + " 7\n", false, "holds no possible scores"},
                      Conversation{"1 1" + Counts(1).substr(1) + "\n", false, "holds no possible scores"}));

TEST(TuneScorer, RefusesADescriptorThatIsNoSocket)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_NE(ErrorOf([&] { OutsideScorer(pipeEnds[0], {}, [] { return false; }); }).find("not an open socket"),
              std::string::npos);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace

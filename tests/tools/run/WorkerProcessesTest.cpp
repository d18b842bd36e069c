// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <vector>

#include "run/WorkerProcesses.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

TEST(WorkerProcesses, EveryJobRunsOnceWhateverTheNumberOfWorkers)
{
    for (const std::size_t workers : {1u, 2u, 3u}) {
        std::vector<int> seen(7, 0);
        const bool complete = RunInWorkers<std::size_t>(
            seen.size(), workers, [](std::size_t i) { return 3 * i; },
            [&seen](std::size_t i, std::size_t result) { seen[i] += result == 3 * i; }, [] { return false; });
        EXPECT_TRUE(complete);
        EXPECT_EQ(seen, std::vector<int>(7, 1)) << workers << " workers";
    }
    EXPECT_THROW(RunInWorkers<int>(
                     4, 2, [](std::size_t) -> int { throw ToolkitError("broken"); }, [](std::size_t, int) {},
                     [] { return false; }),
                 ToolkitError);
}

}  // namespace
}  // namespace qzkit

// SPDX-License-Identifier: Apache-2.0
#include "plot/DelayAccount.h"

#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "io/TextFormat.h"
#include "plot/RunStages.h"
#include "run/StageDelays.h"

namespace qzkit {
namespace {

// What the account takes when the run's derivative order is not known: the
// tool's default.
constexpr std::uint16_t kAssumedDerivativeOrder = qz::run_settings_struct{}.DerivativeOrder;

}  // namespace

DelayAccount AccountDelays(const RunFiles &files, const RunSettings &settings)
{
    const std::uint16_t stages = StagesRun(files, settings);
    const std::uint16_t derivativeOrder = settings.derivativeOrder.value_or(kAssumedDerivativeOrder);
    DelayAccount account;
    account.samples = PeakDelay(stages, derivativeOrder);
    std::vector<std::string> parts;
    if ((stages & QZ_STAGE_LOWPASS) != 0u) {
        parts.push_back(Format("low-pass %zu", kLowPassDelay));
    }
    if ((stages & QZ_STAGE_DERIVATIVE) != 0u) {
        const std::size_t delay = DerivativeDelay(derivativeOrder);
        parts.push_back(Format("%s derivative %zu", delay != 0u ? "5-point" : "2-point", delay));
        if (!settings.derivativeOrder) {
            parts.back() += " (2-point assumed)";
        }
    }
    if ((stages & QZ_STAGE_AVERAGE) != 0u) {
        parts.push_back(Format("moving average 2 x %zu", kMovingAverageDelay / 2u));
    }
    if (stages == 0u) {
        account.text = "Peaks are marked on the recording itself: no conditioning stage ran";
        return account;
    }
    account.text = Format("Beats on the recording: peak locations moved %zu samples earlier (", account.samples);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        account.text += (i == 0 ? "" : " + ") + parts[i];
    }
    account.text += parts.empty() ? "high-pass and squaring add no shift)" : "; high-pass and squaring add none)";
    return account;
}

}  // namespace qzkit

// SPDX-License-Identifier: Apache-2.0
// The space `constants tune` searches: the design knobs, each over a range
// the user can narrow or fix, the high-pass orders and the run settings to
// try; the candidates in it, their grid and their neighbours; and the raw
// fields around a design for a final local refinement.
#ifndef QZKIT_TUNE_SPACE_H
#define QZKIT_TUNE_SPACE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "constants/ConstantsDesign.h"

namespace qzkit {

enum Knob : std::size_t { kLowPassKnob, kHighPassKnob, kSwingKnob, kMinBpmKnob, kMaxBpmKnob, kOnePeakKnob, kKnobs };

struct KnobInfo {
    std::string_view option;  // command-line option and CSV column stem
    double resolution;        // values are multiples of this
};
const KnobInfo &InfoOf(std::size_t knob);

struct KnobRange {
    double low = 0.0;
    double high = 0.0;  // equal to `low`: the knob is fixed
};

// "LOW:HIGH" or one value (fixed). ToolkitError otherwise or for LOW > HIGH.
KnobRange ParseKnobRange(const std::string &text);

struct TuneSpace {
    double rate = 250.0;
    std::array<KnobRange, kKnobs> ranges{{{16.3, 30.0}, {3.0, 8.0}, {200.0, 500.0}, {30, 30}, {240, 300}, {0, 0}}};
    std::vector<int> highPassOrders{3};
    std::vector<qz::run_settings_struct> settings{qz::run_settings_struct{}};
    std::size_t levels = 3;       // grid values per free knob
    std::size_t gridLimit = 300;  // grid points kept; a seeded sample of them when there are more
};

// One point: a design with settings, or raw fields refined around a design.
struct Candidate {
    DesignRequest design;
    qz::run_settings_struct settings;
    std::optional<ConstantsImage> raw;

    std::string Key() const;           // the same for the same point
};

double KnobValue(const DesignRequest &design, std::size_t knob);

// Sets the knob to `value` rounded to its resolution and limited to the range.
void SetKnob(DesignRequest &design, const TuneSpace &space, std::size_t knob, double value);

// The design the space's ranges start from (every knob at its low end).
DesignRequest BaseDesign(const TuneSpace &space);

// The coarse grid: `levels` values over every free knob, every order and
// every settings choice; when there are more than `gridLimit` points, that
// many of them drawn with `seed`.
std::vector<Candidate> Grid(const TuneSpace &space, std::uint32_t seed);

// The points one step away: every free knob up and down by its step, every
// other order and every other settings choice.
std::vector<Candidate> Neighbours(const Candidate &candidate, const TuneSpace &space,
                                  const std::array<double, kKnobs> &steps);

// The first steps of the local search: half a grid spacing per free knob.
std::array<double, kKnobs> FirstSteps(const TuneSpace &space);

// Halves every step that is still above its knob's resolution; false when
// none was.
bool HalveSteps(std::array<double, kKnobs> &steps);

// Raw fields one small step from the candidate's image: each low-pass tap by
// one, the postscale by one and four, each feedback coefficient by 1, 8 and
// 64 units of its last stored bit.
std::vector<Candidate> RawNeighbours(const Candidate &candidate);

// The 31 bytes of a sound candidate, or why it is refused: a design out of
// reach, or a set `constants show` warns about (unstable feedback, ranges
// the stages overflow).
struct CandidateImage {
    std::optional<ConstantsImage> image;
    std::string refusal;
};
CandidateImage ImageOf(const Candidate &candidate);

}  // namespace qzkit

#endif

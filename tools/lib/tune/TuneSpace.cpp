// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneSpace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "constants/ConstantsCheck.h"
#include "evaluate/ManifestEvaluation.h"
#include "io/TextParsing.h"
#include "run/RunSettingsText.h"
#include "signal/DeterministicRandom.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr std::array<KnobInfo, kKnobs> kKnobInfo{{
    {"lowpass", 0.1},
    {"highpass", 0.05},
    {"swing", 1.0},
    {"min-bpm", 1.0},
    {"max-bpm", 1.0},
    {"one-peak-bpm", 1.0},
}};

constexpr std::array<std::int64_t, 3> kCoefficientSteps{1, 8, 64};
constexpr std::array<int, 2> kPostscaleSteps{1, 4};

bool IsFree(const KnobRange &range)
{
    return range.high > range.low;
}

double RoundTo(double value, double resolution)
{
    return std::round(value / resolution) * resolution;
}

std::vector<double> GridValues(const KnobRange &range, std::size_t knob, std::size_t levels)
{
    if (!IsFree(range) || levels < 2) {
        return {range.low};
    }
    std::vector<double> values;
    for (std::size_t i = 0; i < levels; ++i) {
        const double value = range.low + (range.high - range.low) * static_cast<double>(i) /
                                             static_cast<double>(levels - 1);
        const double rounded = std::clamp(RoundTo(value, InfoOf(knob).resolution), range.low, range.high);
        if (values.empty() || rounded != values.back()) {
            values.push_back(rounded);
        }
    }
    return values;
}

// `count` of the indices below `total` drawn without repetition, in
// increasing order: the first `count` places of a seeded shuffle, the
// places a swap moved kept in a map, so memory follows `count`, not `total`.
std::vector<std::size_t> SampledIndices(std::size_t total, std::size_t count, std::uint32_t seed)
{
    DeterministicRandom random(seed);
    std::unordered_map<std::size_t, std::size_t> moved;
    const auto at = [&moved](std::size_t place) {
        const auto found = moved.find(place);
        return found == moved.end() ? place : found->second;
    };
    std::vector<std::size_t> sample;
    for (std::size_t i = 0; i < count; ++i) {
        const auto left = static_cast<double>(total - i);
        const std::size_t pick = i + std::min(static_cast<std::size_t>(random.Uniform() * left), total - i - 1);
        const std::size_t drawn = at(pick);
        moved[pick] = at(i);
        sample.push_back(drawn);
    }
    std::sort(sample.begin(), sample.end());
    return sample;
}

// The grid point at `index`: the orders outermost, then the settings, then
// the knobs in their order (the last changing fastest).
Candidate GridPoint(const TuneSpace &space, const std::array<std::vector<double>, kKnobs> &values,
                    std::size_t index)
{
    Candidate point{BaseDesign(space), space.settings.front(), std::nullopt};
    for (std::size_t knob = kKnobs; knob-- > 0;) {
        SetKnob(point.design, space, knob, values[knob][index % values[knob].size()]);
        index /= values[knob].size();
    }
    point.settings = space.settings[index % space.settings.size()];
    point.design.highPassOrder = space.highPassOrders[index / space.settings.size()];
    return point;
}

void AddIfNew(std::vector<Candidate> &list, const Candidate &added, const Candidate &from)
{
    if (added.Key() != from.Key()) {
        list.push_back(added);
    }
}

// A 3-byte float as one signed count of its last stored bit: exponent and
// mantissa read as one 23-bit magnitude.
std::int64_t FloatSteps(const Float24 &bytes)
{
    const std::int64_t magnitude = bytes[0] | (bytes[1] << 8) | ((bytes[2] & 0x7F) << 16);
    return (bytes[2] & 0x80) != 0 ? -magnitude : magnitude;
}

std::optional<Float24> FromFloatSteps(std::int64_t steps)
{
    const std::int64_t magnitude = steps < 0 ? -steps : steps;
    if (magnitude >= (std::int64_t{0xFF} << 15)) {  // exponent 255: infinite
        return std::nullopt;
    }
    return Float24{static_cast<std::uint8_t>(magnitude & 0xFF), static_cast<std::uint8_t>((magnitude >> 8) & 0xFF),
                   static_cast<std::uint8_t>(((magnitude >> 16) & 0x7F) | (steps < 0 ? 0x80 : 0x00))};
}

void AddIntegerSteps(std::vector<Candidate> &list, const Candidate &from, const ConstantsImage &image,
                     const ConstantsField &field, std::size_t index, int step)
{
    for (const int sign : {-1, 1}) {
        const std::int64_t value = ReadIntegerValue(image, field, index) + std::int64_t{sign} * step;
        if (value >= FieldMinimum(field.type) && value <= FieldMaximum(field.type)) {
            Candidate next = from;
            next.raw = image;
            WriteIntegerValue(*next.raw, field, index, value);
            list.push_back(next);
        }
    }
}

}  // namespace

const KnobInfo &InfoOf(std::size_t knob)
{
    return kKnobInfo.at(knob);
}

KnobRange ParseKnobRange(const std::string &text)
{
    const std::size_t colon = text.find(':');
    KnobRange range;
    const bool parsed = colon == std::string::npos
                            ? ParseNumber(text, range.low) && ParseNumber(text, range.high)
                            : ParseNumber(text.substr(0, colon), range.low) &&
                                  ParseNumber(text.substr(colon + 1), range.high);
    if (!parsed || !std::isfinite(range.low) || !std::isfinite(range.high) || range.low > range.high) {
        throw ToolkitError("'" + text + "' is not a value or a range LOW:HIGH with LOW <= HIGH");
    }
    return range;
}

std::string Candidate::Key() const
{
    std::string key = DesignCommandLine(design) + " | " + SettingsText(settings);
    if (raw) {
        key += " |";
        for (const std::uint8_t byte : *raw) {
            key += ' ' + std::to_string(byte);
        }
    }
    return key;
}

double KnobValue(const DesignRequest &design, std::size_t knob)
{
    switch (knob) {
    case kLowPassKnob:
        return design.lowPassCutoff;
    case kHighPassKnob:
        return design.highPassCutoff;
    case kSwingKnob:
        return design.swing;
    case kMinBpmKnob:
        return design.minBpm;
    case kMaxBpmKnob:
        return design.maxBpm;
    default:
        return design.onePeakBpm;
    }
}

void SetKnob(DesignRequest &design, const TuneSpace &space, std::size_t knob, double value)
{
    const KnobRange &range = space.ranges.at(knob);
    const double limited = std::clamp(RoundTo(value, InfoOf(knob).resolution), range.low, range.high);
    const auto bpm = static_cast<std::uint16_t>(std::clamp(limited, 0.0, 65535.0));
    switch (knob) {
    case kLowPassKnob:
        design.lowPassCutoff = limited;
        break;
    case kHighPassKnob:
        design.highPassCutoff = limited;
        break;
    case kSwingKnob:
        design.swing = limited;
        break;
    case kMinBpmKnob:
        design.minBpm = bpm;
        break;
    case kMaxBpmKnob:
        design.maxBpm = bpm;
        break;
    default:
        design.onePeakBpm = bpm;
        break;
    }
}

DesignRequest BaseDesign(const TuneSpace &space)
{
    DesignRequest design;
    design.rate = space.rate;
    design.highPassOrder = space.highPassOrders.front();
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        SetKnob(design, space, knob, space.ranges[knob].low);
    }
    return design;
}

std::vector<Candidate> Grid(const TuneSpace &space, std::uint32_t seed)
{
    std::array<std::vector<double>, kKnobs> values;
    std::size_t total = space.highPassOrders.size() * space.settings.size();
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        values[knob] = GridValues(space.ranges[knob], knob, space.levels);
        if (total > SIZE_MAX / values[knob].size()) {
            throw ToolkitError("the grid has too many points to number; use fewer --levels");
        }
        total *= values[knob].size();
    }
    std::vector<Candidate> grid;
    if (total > space.gridLimit) {
        for (const std::size_t index : SampledIndices(total, space.gridLimit, seed)) {
            grid.push_back(GridPoint(space, values, index));
        }
        return grid;
    }
    for (std::size_t index = 0; index < total; ++index) {
        grid.push_back(GridPoint(space, values, index));
    }
    return grid;
}

std::vector<Candidate> Neighbours(const Candidate &candidate, const TuneSpace &space,
                                  const std::array<double, kKnobs> &steps)
{
    std::vector<Candidate> neighbours;
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        if (!IsFree(space.ranges[knob])) {
            continue;
        }
        for (const double sign : {-1.0, 1.0}) {
            Candidate next = candidate;
            SetKnob(next.design, space, knob, KnobValue(candidate.design, knob) + sign * steps[knob]);
            AddIfNew(neighbours, next, candidate);
        }
    }
    for (const int order : space.highPassOrders) {
        Candidate next = candidate;
        next.design.highPassOrder = order;
        AddIfNew(neighbours, next, candidate);
    }
    for (const qz::run_settings_struct &settings : space.settings) {
        Candidate next = candidate;
        next.settings = settings;
        AddIfNew(neighbours, next, candidate);
    }
    return neighbours;
}

std::array<double, kKnobs> FirstSteps(const TuneSpace &space)
{
    std::array<double, kKnobs> steps{};
    const double spacing = static_cast<double>(std::max<std::size_t>(space.levels, 2) - 1);
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        const KnobRange &range = space.ranges[knob];
        steps[knob] = std::max(InfoOf(knob).resolution, (range.high - range.low) / spacing / 2.0);
    }
    return steps;
}

bool HalveSteps(std::array<double, kKnobs> &steps)
{
    bool halved = false;
    for (std::size_t knob = 0; knob < kKnobs; ++knob) {
        const double resolution = InfoOf(knob).resolution;
        if (steps[knob] > resolution) {
            steps[knob] = std::max(resolution, steps[knob] / 2.0);
            halved = true;
        }
    }
    return halved;
}

std::vector<Candidate> RawNeighbours(const Candidate &candidate)
{
    const std::optional<ConstantsImage> image = ImageOf(candidate).image;
    if (!image) {
        return {};
    }
    std::vector<Candidate> neighbours;
    const ConstantsField &taps = FindConstantsField("LPFConstants");
    for (std::size_t tap = 0; tap < taps.count; ++tap) {
        AddIntegerSteps(neighbours, candidate, *image, taps, tap, 1);
    }
    for (const int step : kPostscaleSteps) {
        AddIntegerSteps(neighbours, candidate, *image, FindConstantsField("LPFPostscale"), 0, step);
    }
    const ConstantsField &feedback = FindConstantsField("HPFConstantsA");
    for (std::size_t index = 0; index < feedback.count; ++index) {
        const std::int64_t at = FloatSteps(ReadFloatValue(*image, feedback, index));
        for (const std::int64_t step : kCoefficientSteps) {
            for (const std::int64_t moved : {at - step, at + step}) {
                if (const std::optional<Float24> bytes = FromFloatSteps(moved)) {
                    Candidate next = candidate;
                    next.raw = *image;
                    WriteFloatValue(*next.raw, feedback, index, *bytes);
                    neighbours.push_back(next);
                }
            }
        }
    }
    return neighbours;
}

CandidateImage ImageOf(const Candidate &candidate)
{
    CandidateImage result;
    ConstantsImage image{};
    if (candidate.raw) {
        image = *candidate.raw;
    } else {
        try {
            image = DesignConstants(candidate.design).image;
        } catch (const ToolkitError &error) {
            result.refusal = error.what();
            return result;
        }
    }
    const std::vector<std::string> warnings = CheckConstants(image);
    if (!warnings.empty()) {
        result.refusal = warnings.front();
        return result;
    }
    result.image = image;
    return result;
}

}  // namespace qzkit

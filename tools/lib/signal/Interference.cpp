// SPDX-License-Identifier: Apache-2.0
#include "signal/Interference.h"

#include <cmath>
#include <numbers>

#include "signal/DeterministicRandom.h"

namespace qzkit {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Electrode-motion-like noise: white noise through two one-pole low-passes
// at this corner, its level switching between bursts and quiet spells of
// 0.5 to 2 s (the quiet ones at this share of the burst level), the switch
// smoothed by the same low-pass.
constexpr double kMotionCornerHz = 2.0;
constexpr double kQuietLevel = 0.2;
constexpr double kShortestSpell = 0.5;
constexpr double kLongestSpell = 2.0;

double TriangleWave(double cycles)
{
    const double fraction = cycles - std::floor(cycles);
    return 1.0 - 4.0 * std::abs(fraction - 0.5);
}

std::vector<double> WhiteNoise(std::size_t length, DeterministicRandom &random)
{
    std::vector<double> noise(length);
    for (double &value : noise) {
        value = random.Gaussian();
    }
    return noise;
}

void OnePoleLowPass(std::vector<double> &signal, double rate, double cornerHz)
{
    const double a = std::exp(-kTwoPi * cornerHz / rate);
    double state = signal.empty() ? 0.0 : signal.front();
    for (double &value : signal) {
        state = a * state + (1.0 - a) * value;
        value = state;
    }
}

std::vector<double> BurstEnvelope(std::size_t length, double rate, DeterministicRandom &random)
{
    std::vector<double> envelope(length);
    bool burst = random.Uniform() < 0.5;
    std::size_t spellEnd = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (i >= spellEnd) {
            burst = !burst;
            const double seconds = kShortestSpell + (kLongestSpell - kShortestSpell) * random.Uniform();
            spellEnd = i + static_cast<std::size_t>(seconds * rate);
        }
        envelope[i] = burst ? 1.0 : kQuietLevel;
    }
    OnePoleLowPass(envelope, rate, kMotionCornerHz);
    return envelope;
}

std::vector<double> MotionNoise(std::size_t length, double rate, DeterministicRandom &random)
{
    std::vector<double> noise = WhiteNoise(length, random);
    OnePoleLowPass(noise, rate, kMotionCornerHz);
    OnePoleLowPass(noise, rate, kMotionCornerHz);
    const std::vector<double> envelope = BurstEnvelope(length, rate, random);
    for (std::size_t i = 0; i < length; ++i) {
        noise[i] *= envelope[i];
    }
    return noise;
}

void AddScaledNoise(const std::vector<double> &noise, double snrDb, double qrsPeakToPeakMv,
                    std::vector<double> &millivolts)
{
    const double rms = RootMeanSquare(noise);
    if (rms == 0.0) {
        return;
    }
    const double target = qrsPeakToPeakMv / std::sqrt(8.0) / std::pow(10.0, snrDb / 20.0);
    for (std::size_t i = 0; i < millivolts.size(); ++i) {
        millivolts[i] += noise[i] * target / rms;
    }
}

}  // namespace

double RootMeanSquare(const std::vector<double> &signal)
{
    double sum = 0.0;
    for (const double value : signal) {
        sum += value * value;
    }
    return signal.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(signal.size()));
}

void AddInterference(const Interference &interference, double qrsPeakToPeakMv, std::vector<double> &millivolts,
                     double rate, std::uint32_t seed)
{
    DeterministicRandom random(seed);
    const double phase = random.Uniform();
    switch (interference.kind) {
    case InterferenceKind::None:
        return;
    case InterferenceKind::Sine:
    case InterferenceKind::Triangle:
        for (std::size_t i = 0; i < millivolts.size(); ++i) {
            const double cycles = interference.hz * static_cast<double>(i) / rate + phase;
            const double wave = interference.kind == InterferenceKind::Sine ? std::sin(kTwoPi * cycles)
                                                                            : TriangleWave(cycles);
            millivolts[i] += interference.amplitudeMv * wave;
        }
        return;
    case InterferenceKind::MuscleNoise:
        AddScaledNoise(WhiteNoise(millivolts.size(), random), interference.snrDb, qrsPeakToPeakMv, millivolts);
        return;
    case InterferenceKind::MotionNoise:
        AddScaledNoise(MotionNoise(millivolts.size(), rate, random), interference.snrDb, qrsPeakToPeakMv,
                       millivolts);
        return;
    }
}

}  // namespace qzkit

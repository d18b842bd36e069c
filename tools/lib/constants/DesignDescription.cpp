// SPDX-License-Identifier: Apache-2.0
// The text `constants design` prints about a design: taps and postscale,
// feedback and poles, the responses at a set of frequencies, the output range
// of each stage and what the rate limits mean in samples.
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <sstream>

#include "constants/ConstantsDesign.h"
#include "constants/ConstantsText.h"
#include "io/ShortestDecimal.h"
#include "io/TextFormat.h"

namespace qzkit {
namespace {

constexpr double kLowestShownDb = -99.0;
constexpr std::array<std::uint16_t, 6> kShownAmplitudes{25, 50, 100, 200, 400, 1023};

// A gain in dB for the table, "<-99" for the zeros of the low-pass.
std::string Decibels(double gain)
{
    const double decibels = 20.0 * std::log10(std::fabs(gain));
    return decibels < kLowestShownDb ? "<-99" : Format("%.1f", decibels);
}

void DescribeLowPass(const ConstantsDesign &design, std::ostringstream &text)
{
    const DesignRequest &request = design.request;
    const LowPassTaps &taps = design.taps;
    text << Format("Low-pass: taps %d, %d, %d, %d, %d (nine taps, sum %d), postscale %u\n", taps[0], taps[1], taps[2],
                   taps[3], taps[4], LowPassTapSum(taps), design.postscale);
    text << Format("  -3 dB at %.2f Hz (asked for %.2f Hz); output delayed by 4 samples\n",
                   LowPassCutoffOf(taps, request.rate), request.lowPassCutoff);
    text << "  swing about the median by buffer amplitude:";
    for (const std::uint16_t amplitude : kShownAmplitudes) {
        text << Format(" %u->%.0f", amplitude, LowPassSwing(taps, design.postscale, amplitude));
    }
    text << Format(" (aimed at %.0f)\n", request.swing);
}

void DescribeHighPass(const ConstantsDesign &design, std::ostringstream &text)
{
    const HighPassDesign &highPass = design.highPass;
    const double rate = design.request.rate;
    text << (design.request.highPassOrder == 1
                 ? "High-pass: first order, numerator (1 - z^-1)(1 + z^-2) (B0 = 1, B1 = 1)\n"
                 : "High-pass: third-order Butterworth, numerator (1 - z^-1)^3 (B0 = 1, B1 = 3)\n");
    for (std::size_t i = 0; i < highPass.stored.size(); ++i) {
        text << Format("  A%zu = %s (exact %.9g), %s\n", i, ShortestDecimal(DecodeFloat24(highPass.stored[i])).c_str(),
                       highPass.exact[i], DescribeFloat24(highPass.stored[i]).c_str());
    }
    text << "  poles at radius";
    for (const std::complex<double> &pole : HighPassPoles(highPass.coefficients)) {
        text << Format(" %.6f", std::abs(pole));
    }
    text << (HighPassStable(highPass.coefficients) ? ": stable\n" : ": UNSTABLE\n");
    text << Format("  -3 dB at %.2f Hz (asked for %.2f Hz); pass-band gain %.3f; within %.3f dB of the exact filter\n",
                   HighPassCutoffOf(highPass.coefficients, rate), design.request.highPassCutoff,
                   HighPassPassBandGain(highPass.coefficients, rate), highPass.worstErrorDb);
}

void DescribeResponses(const ConstantsDesign &design, std::ostringstream &text)
{
    const double rate = design.request.rate;
    const double passBand = HighPassPassBandGain(design.highPass.coefficients, rate);
    text << "Gain (dB; high-pass relative to its pass band):\n";
    text << "      Hz  low-pass high-pass  together\n";
    for (const double frequency : {0.25, 0.5, 0.7, 1.0, 2.0, 3.0, 5.0, 8.0, 10.0, 12.0, 15.0, 20.0, 25.0, 30.0, 40.0,
                                   50.0, 60.0, 80.0, 100.0}) {
        if (frequency >= rate / 2.0) {
            break;
        }
        const double low = LowPassRelativeGain(design.taps, frequency, rate);
        const double high = std::abs(HighPassResponse(design.highPass.coefficients, frequency, rate)) / passBand;
        text << Format("  %6.2f  %8s  %8s  %8s\n", frequency, Decibels(low).c_str(), Decibels(high).c_str(),
                       Decibels(low * high).c_str());
    }
}

void DescribeRanges(const ConstantsDesign &design, std::ostringstream &text)
{
    const double swing = LowPassSwing(design.taps, design.postscale, 1023);
    const HighPassRange range = HighPassOutputRange(design.highPass.coefficients, swing);
    text << Format("Output range:\n  low-pass: median +-%.0f counts, clipped to 0..1023\n", swing);
    text << Format("  high-pass (offset 500, clipped to 0..1023): a step of %.0f gives %.0f..%.0f; "
                   "worst case for any input within +-%.0f: %.0f..%.0f\n",
                   swing, 500.0 + range.stepLowest, 500.0 + range.stepHighest, swing, 500.0 - range.bound,
                   500.0 + range.bound);
}

void DescribeRateLimits(const ConstantsDesign &design, std::ostringstream &text)
{
    const DesignRequest &request = design.request;
    const double shortest = 60.0 * request.rate / std::max<double>(request.maxBpm, 1.0);
    const double longest = 60.0 * request.rate / std::max<double>(request.minBpm, 1.0);
    text << Format("Rates: %u..%u BPM accepted (intervals %.1f..%.1f samples); outside them QI 3\n", request.minBpm,
                   request.maxBpm, shortest, longest);
    text << Format("  one sample of interval is %.2f BPM at %u BPM; one peak alone reports %u BPM with QI 3\n",
                   request.maxBpm - 60.0 * request.rate / (shortest + 1.0), request.maxBpm, request.onePeakBpm);
}

}  // namespace

std::string DescribeDesign(const ConstantsDesign &design)
{
    std::ostringstream text;
    DescribeLowPass(design, text);
    DescribeHighPass(design, text);
    DescribeResponses(design, text);
    DescribeRanges(design, text);
    DescribeRateLimits(design, text);
    return text.str();
}

std::string DesignCommandLine(const DesignRequest &request)
{
    return Format("qzkit constants design --rate %g --lowpass %g --highpass %g --highpass-order %d --swing %g "
                  "--min-bpm %u --max-bpm %u --one-peak-bpm %u",
                  request.rate, request.lowPassCutoff, request.highPassCutoff, request.highPassOrder, request.swing,
                  request.minBpm, request.maxBpm, request.onePeakBpm);
}

std::string CommentLines(const std::string &text)
{
    std::string comments;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        comments += "# " + line + "\n";
    }
    return comments;
}

std::string DesignText(const ConstantsDesign &design)
{
    return "# " + DesignCommandLine(design.request) + "\n#\n" + CommentLines(DescribeDesign(design)) + "\n" +
           FormatConstantsText(design.image);
}

}  // namespace qzkit

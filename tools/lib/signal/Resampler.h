// SPDX-License-Identifier: Apache-2.0
// Band-limited sample-rate conversion of a whole signal.
#ifndef QZKIT_RESAMPLER_H
#define QZKIT_RESAMPLER_H

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace qzkit {

enum class ResampleQuality { Best, Medium, Fast };

// Converts `input` from `fromRate` to `toRate` with a windowed-sinc
// converter: output sample k is the band-limited signal at time k / toRate
// (no delay), for every k < input.size() * toRate / fromRate. For whole-number
// rates the ends are padded with copies of the first and last samples, so a
// constant stays constant up to the edges. Equal rates return the input
// unchanged. The ratio must lie within 1/256 to 256; ToolkitError otherwise.
// Resample a piece at a time, with the converter's state kept between the
// pieces: the output of the pieces one after the other is Resample's output
// for them joined. ToolkitError as Resample.
class StreamResampler {
public:
    StreamResampler(double fromRate, double toRate, ResampleQuality quality = ResampleQuality::Best);
    ~StreamResampler();
    StreamResampler(const StreamResampler &) = delete;
    StreamResampler &operator=(const StreamResampler &) = delete;

    // Appends to `output` the samples `input` completes; with `last` the
    // input has ended and the rest follows.
    void Push(std::span<const double> input, bool last, std::vector<double> &output);

private:
    struct Converter;
    void Feed(std::span<const float> input, bool last, std::vector<double> &output);

    double ratio_ = 1.0;
    std::size_t padding_ = 0;   // copies of the first and the last sample around the input
    std::size_t toSkip_ = 0;    // output samples of the leading padding not yet dropped
    std::size_t inputs_ = 0;    // input samples so far
    std::size_t outputs_ = 0;   // output samples given so far
    float last_ = 0.0F;
    std::unique_ptr<Converter> converter_;  // none for equal rates
};

std::vector<double> Resample(const std::vector<double> &input, double fromRate, double toRate,
                             ResampleQuality quality = ResampleQuality::Best);

}  // namespace qzkit

#endif

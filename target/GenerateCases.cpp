// SPDX-License-Identifier: Apache-2.0
// Writes the inputs and the case list of the host/target comparison:
// constants files and recordings into OUTDIR, and OUTDIR/cases.txt with one
// case per line: a case name, then the tool's arguments (none holds a blank).
// The set is deterministic and covers the tool's result paths: every stage
// mask, both derivative orders and peak thresholds, all beat-classification
// methods, 1500- and 600-sample records, extreme constants (infinite, tiny and
// negative floats, swapped limits), argument parsing and the error exits.
//
// Usage: qz_generate_cases OUTDIR
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_DataStructures.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace {

// 32-bit xorshift: the same sequence on every host.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed) {}
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform enough in [0, bound) for test data.
    uint32_t Below(uint32_t bound) { return Next() % bound; }
    int Between(int low, int high) { return low + static_cast<int>(Below(static_cast<uint32_t>(high - low + 1))); }

private:
    uint32_t state;
};

std::string outputDirectory;
bool writeFailed = false;

void WriteFile(const std::string &name, const std::vector<uint8_t> &bytes)
{
    const std::string path = outputDirectory + "/" + name;
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        fprintf(stderr, "qz_generate_cases: cannot write %s\n", path.c_str());
        writeFailed = true;
    }
    if (file != nullptr && fclose(file) != 0) {
        writeFailed = true;
    }
}

void MakeDirectory(const std::string &name)
{
    const std::string path = outputDirectory + "/" + name;
    if (mkdir(path.c_str(), 0755) != 0) {
        fprintf(stderr, "qz_generate_cases: cannot create directory %s\n", path.c_str());
        writeFailed = true;
    }
}

// ---- Constants files (31 bytes; some deliberately shorter or longer) ----

using Constants = std::vector<uint8_t>;

// 250 samples per second, limits 30..240 BPM, one-peak rate 60, low-pass
// taps 1..5 over 30, a second-order high-pass section.
const Constants TypicalConstants = {0xFA, 0x00, 0x00, 0x00, 0x12, 0x83, 0x3B, 0xF0, 0x00, 0x1E, 0x00,
                                    0x3C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1E, 0xEC, 0x2F, 0xC0, 0xCE,
                                    0x21, 0x40, 0x13, 0x47, 0xBF, 0x01, 0x03, 0x00, 0x00};

struct Float24 {
    uint8_t b0, b1, b2;
};

const Float24 FLOAT24_TINY = {0x00, 0x00, 0x00};      // 2^-127, no zero exists
const Float24 FLOAT24_NEG_TINY = {0x00, 0x00, 0x80};  // -2^-127
const Float24 FLOAT24_INF = {0xFF, 0xFF, 0x7F};
const Float24 FLOAT24_NEG_INF = {0xFF, 0xFF, 0xFF};
const Float24 FLOAT24_NEG_PERIOD = {0x12, 0x83, 0xBB};  // -0.004
const Float24 FLOAT24_SLOW_PERIOD = {0xD7, 0x23, 0x3D};  // 0.04
const Float24 FLOAT24_FAST_PERIOD = {0x51, 0xD1, 0x39};  // 0.0004
const Float24 FLOAT24_HUGE = {0xFF, 0x7F, 0x7F};         // largest finite value, about 3.4e38

void SetFloat(Constants &constants, unsigned offset, Float24 value)
{
    constants[offset] = value.b0;
    constants[offset + 1u] = value.b1;
    constants[offset + 2u] = value.b2;
}

void SetWord(Constants &constants, unsigned offset, unsigned value)
{
    constants[offset] = static_cast<uint8_t>(value & 0xFFu);
    constants[offset + 1u] = static_cast<uint8_t>((value >> 8) & 0xFFu);
}

Constants WithPeriod(Float24 period)
{
    Constants constants = TypicalConstants;
    SetFloat(constants, QZ_OFFSET_PERIOD, period);
    return constants;
}

Constants WithAllHighPass(Float24 coefficient)
{
    Constants constants = TypicalConstants;
    for (unsigned i = 0; i < 3u; ++i) {
        SetFloat(constants, QZ_OFFSET_HPF_A + 3u * i, coefficient);
    }
    return constants;
}

Constants RandomBytes(Random &random, size_t count)
{
    Constants constants(count);
    for (uint8_t &byte : constants) {
        byte = static_cast<uint8_t>(random.Below(256));
    }
    return constants;
}

// Random filters and limits around a plausible sampling period.
Constants RandomPlausible(Random &random)
{
    Constants constants = RandomBytes(random, 31);
    // Exponent byte 0x3B: periods from about 0.002 to 0.008 seconds.
    SetFloat(constants, QZ_OFFSET_PERIOD,
             Float24{static_cast<uint8_t>(random.Below(256)), static_cast<uint8_t>(random.Below(256)), 0x3B});
    SetWord(constants, QZ_OFFSET_MAX_BPM, static_cast<unsigned>(random.Between(100, 1100)));
    SetWord(constants, QZ_OFFSET_MIN_BPM, static_cast<unsigned>(random.Between(0, 60)));
    for (unsigned i = 0; i < 3u; ++i) {
        // Exponents near 0 keep the high-pass feedback in a sane range.
        constants[QZ_OFFSET_HPF_A + 3u * i + 2u] = static_cast<uint8_t>(random.Below(2) == 0u ? 0x3F : 0xBF);
    }
    return constants;
}

struct NamedConstants {
    std::string name;
    Constants bytes;
};

std::vector<NamedConstants> MakeConstants(Random &random)
{
    std::vector<NamedConstants> all = {
        {"c-typical", TypicalConstants},
        {"c-period-tiny", WithPeriod(FLOAT24_TINY)},
        {"c-period-neg-tiny", WithPeriod(FLOAT24_NEG_TINY)},
        {"c-period-inf", WithPeriod(FLOAT24_INF)},
        {"c-period-neg-inf", WithPeriod(FLOAT24_NEG_INF)},
        {"c-period-negative", WithPeriod(FLOAT24_NEG_PERIOD)},
        {"c-period-slow", WithPeriod(FLOAT24_SLOW_PERIOD)},
        {"c-period-fast", WithPeriod(FLOAT24_FAST_PERIOD)},
        {"c-period-huge", WithPeriod(FLOAT24_HUGE)},
        {"c-hpf-inf", WithAllHighPass(FLOAT24_INF)},
        {"c-hpf-neg-inf", WithAllHighPass(FLOAT24_NEG_INF)},
        {"c-hpf-tiny", WithAllHighPass(FLOAT24_TINY)},
        {"c-hpf-huge", WithAllHighPass(FLOAT24_HUGE)},
        {"c-all-zero", Constants(31, 0x00)},
        {"c-all-ff", Constants(31, 0xFF)},
    };
    Constants swapped = TypicalConstants;
    SetWord(swapped, QZ_OFFSET_MAX_BPM, 30);
    SetWord(swapped, QZ_OFFSET_MIN_BPM, 240);
    all.push_back({"c-limits-swapped", swapped});
    Constants wide = TypicalConstants;
    SetWord(wide, QZ_OFFSET_MAX_BPM, 0xFFFF);
    SetWord(wide, QZ_OFFSET_MIN_BPM, 0);
    wide[QZ_OFFSET_ONE_PER_MINUTE] = 0xFF;
    all.push_back({"c-limits-wide", wide});
    Constants lowPassZero = TypicalConstants;
    for (unsigned i = 0; i <= 5u; ++i) {
        lowPassZero[QZ_OFFSET_LPF_CONSTANTS + i] = 0;  // taps and postscale
    }
    all.push_back({"c-lpf-zero", lowPassZero});
    Constants lowPassExtreme = TypicalConstants;
    const uint8_t extremeTaps[5] = {0x80, 0x7F, 0x80, 0x7F, 0x7F};
    for (unsigned i = 0; i < 5u; ++i) {
        lowPassExtreme[QZ_OFFSET_LPF_CONSTANTS + i] = extremeTaps[i];
    }
    lowPassExtreme[QZ_OFFSET_LPF_POSTSCALE] = 0xFF;
    lowPassExtreme[QZ_OFFSET_HPF_B] = 0xFF;
    lowPassExtreme[QZ_OFFSET_HPF_B + 1u] = 0xFF;
    all.push_back({"c-lpf-extreme", lowPassExtreme});
    for (int i = 0; i < 8; ++i) {
        all.push_back({"c-random-" + std::to_string(i), RandomBytes(random, 31)});
    }
    for (int i = 0; i < 8; ++i) {
        all.push_back({"c-plausible-" + std::to_string(i), RandomPlausible(random)});
    }
    return all;
}

// ---- Recordings (16-bit little-endian words) ----

using Samples = std::vector<int>;

struct BeatShape {
    int baseline = 400;
    int height = 450;  // R-wave height above the baseline (negative: inverted)
    int noise = 6;     // peak-to-peak noise amplitude
};

// Adds a triangle of the given half width and height centred at `centre`.
void AddTriangle(Samples &samples, int centre, int halfWidth, int height)
{
    for (int offset = -halfWidth; offset <= halfWidth; ++offset) {
        const int index = centre + offset;
        if (index >= 0 && index < static_cast<int>(samples.size())) {
            const int distance = offset < 0 ? -offset : offset;
            samples[static_cast<size_t>(index)] += height * (halfWidth - distance) / halfWidth;
        }
    }
}

// A synthetic ECG: P wave, sharp QRS and broad T wave at each beat position.
Samples Ecg(size_t count, const std::vector<int> &beats, const BeatShape &shape, Random &random,
            const std::vector<int> &heights = {})
{
    Samples samples(count, shape.baseline);
    for (size_t b = 0; b < beats.size(); ++b) {
        const int height = heights.empty() ? shape.height : heights[b % heights.size()];
        AddTriangle(samples, beats[b] - 40, 12, height / 10);
        AddTriangle(samples, beats[b] - 6, 3, -height / 8);
        AddTriangle(samples, beats[b], 6, height);
        AddTriangle(samples, beats[b] + 6, 3, -height / 5);
        AddTriangle(samples, beats[b] + 70, 25, height / 4);
    }
    for (int &sample : samples) {
        sample += shape.noise > 0 ? random.Between(-shape.noise / 2, shape.noise / 2) : 0;
        sample = sample < 0 ? 0 : (sample > 1023 ? 1023 : sample);
    }
    return samples;
}

std::vector<int> RegularBeats(size_t count, int first, int interval)
{
    std::vector<int> beats;
    for (int position = first; position < static_cast<int>(count); position += interval) {
        beats.push_back(position);
    }
    return beats;
}

std::vector<int> BeatsFromIntervals(size_t count, int first, const std::vector<int> &intervals)
{
    std::vector<int> beats;
    int position = first;
    for (size_t i = 0; position < static_cast<int>(count); ++i) {
        beats.push_back(position);
        position += intervals[i % intervals.size()];
    }
    return beats;
}

Samples Constant(size_t count, int value)
{
    return Samples(count, value);
}

// One sample of `samples` set to `value`: with the rest at the other end of
// the range, the buffer statistics' median lies in their first or last bucket.
Samples WithOutlier(Samples samples, size_t position, int value)
{
    samples[position] = value;
    return samples;
}

Samples Noise(size_t count, Random &random, int low, int high)
{
    Samples samples(count);
    for (int &sample : samples) {
        sample = random.Between(low, high);
    }
    return samples;
}

Samples Square(size_t count, int period, int low, int high)
{
    Samples samples(count);
    for (size_t i = 0; i < count; ++i) {
        samples[i] = (static_cast<int>(i) % period) < period / 2 ? low : high;
    }
    return samples;
}

Samples Sawtooth(size_t count, int period)
{
    Samples samples(count);
    for (size_t i = 0; i < count; ++i) {
        samples[i] = (static_cast<int>(i) % period) * 1023 / (period - 1);
    }
    return samples;
}

// Words with bits above bit 9 set: only the low 10 bits may reach the filters.
Samples HighBits(size_t count, Random &random)
{
    Samples samples = Ecg(count, RegularBeats(count, 100, 200), BeatShape{}, random);
    const int highBits[4] = {0x0400, 0xFC00, 0x8000, 0x0000};
    for (size_t i = 0; i < count; ++i) {
        samples[i] |= highBits[i % 4u];
    }
    samples[0] = 0xFFFF;
    return samples;
}

std::vector<uint8_t> Bytes(const Samples &samples)
{
    std::vector<uint8_t> bytes;
    for (int sample : samples) {
        const unsigned word = static_cast<unsigned>(sample) & 0xFFFFu;
        bytes.push_back(static_cast<uint8_t>(word & 0xFFu));
        bytes.push_back(static_cast<uint8_t>(word >> 8));
    }
    return bytes;
}

struct NamedRecord {
    std::string name;
    Samples samples;
};

constexpr size_t LONG = QZ_LONG_RECORD_SAMPLES;
constexpr size_t SHORT = QZ_SHORT_RECORD_SAMPLES;
constexpr int SAMPLES_PER_MINUTE = 15000;  // at 250 samples per second

std::vector<NamedRecord> MakeRecords(Random &random)
{
    std::vector<NamedRecord> all;
    for (int bpm : {45, 60, 75, 90, 120, 150, 190}) {
        all.push_back({"r-ecg" + std::to_string(bpm),
                       Ecg(LONG, RegularBeats(LONG, 60, SAMPLES_PER_MINUTE / bpm), BeatShape{}, random)});
    }
    all.push_back({"r-ecg75-noisy", Ecg(LONG, RegularBeats(LONG, 90, 200), BeatShape{400, 350, 80}, random)});
    all.push_back({"r-ecg75-small", Ecg(LONG, RegularBeats(LONG, 90, 200), BeatShape{500, 30, 2}, random)});
    all.push_back({"r-ecg75-inverted", Ecg(LONG, RegularBeats(LONG, 90, 200), BeatShape{700, -450, 6}, random)});
    all.push_back({"r-ecg75-low", Ecg(LONG, RegularBeats(LONG, 90, 200), BeatShape{20, 60, 4}, random)});
    all.push_back({"r-irregular", Ecg(LONG, BeatsFromIntervals(LONG, 50, {180, 260}), BeatShape{}, random)});
    all.push_back({"r-missing-beat", Ecg(LONG, {100, 300, 500, 900, 1100, 1300}, BeatShape{}, random)});
    all.push_back({"r-ectopic", Ecg(LONG, {100, 300, 420, 500, 700, 900, 1100, 1300}, BeatShape{}, random)});
    all.push_back({"r-levels", Ecg(LONG, RegularBeats(LONG, 80, 150), BeatShape{}, random, {500, 140, 300, 520, 90})});
    all.push_back({"r-bigeminy", Ecg(LONG, BeatsFromIntervals(LONG, 70, {120, 240}), BeatShape{}, random,
                                     {480, 250})});
    all.push_back({"r-two-beats-early", Ecg(LONG, {300, 350}, BeatShape{}, random)});
    all.push_back({"r-two-beats-late", Ecg(LONG, {1390, 1440}, BeatShape{}, random)});
    all.push_back({"r-two-beats-same", Ecg(LONG, {700, 701}, BeatShape{}, random)});
    all.push_back({"r-one-beat", Ecg(LONG, {750}, BeatShape{}, random)});
    all.push_back({"r-dense", Ecg(LONG, RegularBeats(LONG, 10, 40), BeatShape{300, 500, 4}, random)});
    all.push_back({"r-flat512", Constant(LONG, 512)});
    all.push_back({"r-flat0", Constant(LONG, 0)});
    all.push_back({"r-flat1023", Constant(LONG, 1023)});
    all.push_back({"r-outlier-low", WithOutlier(Constant(LONG, 1023), 750, 0)});
    all.push_back({"r-outlier-high", WithOutlier(Constant(LONG, 0), 750, 1023)});
    all.push_back({"r-noise", Noise(LONG, random, 0, 1023)});
    all.push_back({"r-noise-low", Noise(LONG, random, 0, 40)});
    all.push_back({"r-square", Square(LONG, 100, 100, 900)});
    all.push_back({"r-square-full", Square(LONG, 250, 0, 1023)});
    all.push_back({"r-sawtooth", Sawtooth(LONG, 200)});
    all.push_back({"r-high-bits", HighBits(LONG, random)});
    all.push_back({"s-ecg75", Ecg(SHORT, RegularBeats(SHORT, 60, 200), BeatShape{}, random)});
    all.push_back({"s-ecg120", Ecg(SHORT, RegularBeats(SHORT, 40, 125), BeatShape{}, random)});
    all.push_back({"s-irregular", Ecg(SHORT, {50, 170, 400, 470}, BeatShape{}, random)});
    all.push_back({"s-levels", Ecg(SHORT, RegularBeats(SHORT, 40, 110), BeatShape{}, random, {500, 120, 480})});
    all.push_back({"s-one-beat", Ecg(SHORT, {300}, BeatShape{}, random)});
    all.push_back({"s-flat", Constant(SHORT, 300)});
    all.push_back({"s-noise", Noise(SHORT, random, 0, 1023)});
    return all;
}

// ---- Cases ----

std::vector<std::string> caseLines;

void AddCase(const std::string &name, const std::vector<std::string> &arguments)
{
    std::string line = name;
    for (const std::string &argument : arguments) {
        line += " " + argument;
    }
    caseLines.push_back(line);
}

std::string Text(int value)
{
    return std::to_string(value);
}

void AddQueryAndErrorCases()
{
    AddCase("usage", {});
    AddCase("version-v", {"-v"});
    AddCase("version-V", {"-V"});
    AddCase("version-long", {"--version"});
    AddCase("version-with-more", {"-v", "c-typical", "r-ecg75"});
    AddCase("not-a-query-dash", {"-version", "r-ecg75"});
    AddCase("not-a-query-case", {"--VERSION", "r-ecg75"});
    AddCase("one-argument", {"c-typical"});
    AddCase("one-argument-missing", {"missing"});
    AddCase("missing-constants", {"missing", "r-ecg75", "127", "1", "1", "2", "4"});
    AddCase("missing-record", {"c-typical", "missing", "127", "1", "1", "2", "4"});
    for (const char *constants : {"k-empty", "k-30-bytes", "k-32-bytes"}) {
        AddCase(std::string("constants-") + constants, {constants, "r-ecg75", "127", "1", "1", "2", "4"});
    }
    for (const char *record : {"len-empty", "len-1-byte", "len-599", "len-600-odd-byte", "len-601", "len-1000",
                               "len-1499", "len-1500-odd-byte", "len-2000"}) {
        AddCase(std::string("record-") + record, {"c-typical", record, "127", "1", "1", "2", "4"});
    }
    AddCase("unwritable-result", {"c-typical", "blocked", "127", "1", "1", "2", "4"});
    AddCase("unwritable-result-quiet", {"c-typical", "blocked", "127", "1", "1", "2", "0"});
    AddCase("unwritable-dumps", {"c-typical", "dumps-blocked", "127", "1", "2", "5", "4"});
}

// Every stage mask, on a long and a short record, with both derivative orders.
void AddMaskCases()
{
    for (int mask = 0; mask < 128; ++mask) {
        AddCase("mask-" + Text(mask) + "-long", {"c-typical", "r-ecg75", Text(mask), "1", "1", "2", "4"});
        AddCase("mask-" + Text(mask) + "-short", {"c-typical", "s-ecg120", Text(mask), "0", "2", "5", "4"});
    }
    for (const char *mask : {"128", "255", "300", "-1", "65535", "65663", "abc", "+127", "127abc", "0x7f",
                             "99999999999", "-99999999999"}) {
        AddCase(std::string("mask-text-") + mask, {"c-typical", "r-ecg90", mask, "1", "1", "2", "4"});
    }
}

// Peak threshold x method x derivative order on every record, with the
// typical constants and with one of the special sets.
void AddSettingsMatrix(const std::vector<NamedRecord> &records, const std::vector<NamedConstants> &constants)
{
    size_t rotation = 1;
    for (const NamedRecord &record : records) {
        for (int peak : {0, 1}) {
            for (int method : {1, 2, 0}) {
                for (int derivative : {2, 5}) {
                    const std::string settings = "p" + Text(peak) + "-m" + Text(method) + "-d" + Text(derivative);
                    const std::vector<std::string> tail = {Text(peak), Text(method), Text(derivative), "4"};
                    std::vector<std::string> typical = {"c-typical", record.name, "127"};
                    typical.insert(typical.end(), tail.begin(), tail.end());
                    AddCase("matrix-" + record.name + "-" + settings, typical);
                    const NamedConstants &special = constants[rotation % constants.size()];
                    rotation = rotation % (constants.size() - 1u) + 1u;  // skip index 0, the typical set
                    std::vector<std::string> other = {special.name, record.name, "127"};
                    other.insert(other.end(), tail.begin(), tail.end());
                    AddCase("matrix-" + record.name + "-" + settings + "-" + special.name, other);
                }
            }
        }
        for (int mask : {96, 112, 120, 124, 126}) {
            AddCase("partial-" + Text(mask) + "-" + record.name, {"c-typical", record.name, Text(mask), "1", "1", "2", "4"});
        }
    }
}

// Settings as typed: parsing, truncation to 16 bits, method and order fallbacks.
void AddArgumentCases()
{
    const std::vector<std::vector<std::string>> settings = {
        {"127", "2", "1", "2", "4"},  {"127", "-1", "1", "2", "4"},        {"127", "1", "9", "2", "4"},
        {"127", "1", "7", "2", "4"},  {"127", "1", "3", "2", "4"},         {"127", "1", "-1", "2", "4"},
        {"127", "1", "65536", "2", "4"}, {"127", "1", "1", "3", "4"},      {"127", "1", "1", "4", "4"},
        {"127", "1", "1", "-5", "4"}, {"127", "1", "1", "65541", "4"},     {"127", "1", "1", "99999999999", "4"},
        {"127", "1", "1", "2", "3"},  {"127", "1", "1", "2", "2"},         {"127", "1", "1", "2", "65535"},
        {"127", "1", "1", "2", "99999999999"}, {"127", "1", "1", "2", "-1"},
        {"127", "1", "1", "2", "4", "extra", "more"},
        {"127"},                      {"127", "0"},                        {"127", "0", "2"},
        {"127", "0", "2", "5"},
    };
    int index = 0;
    for (const std::vector<std::string> &tail : settings) {
        std::vector<std::string> arguments = {"c-typical", "r-levels"};
        arguments.insert(arguments.end(), tail.begin(), tail.end());
        AddCase("arguments-" + Text(index++), arguments);
    }
}

// Random pairings of records, constants and settings.
void AddRandomCases(Random &random, const std::vector<NamedRecord> &records,
                    const std::vector<NamedConstants> &constants, int count)
{
    const char *peaks[] = {"0", "1", "2", "-1"};
    const char *methods[] = {"0", "1", "2", "3", "5", "7", "9"};
    const char *derivatives[] = {"2", "5", "3", "0"};
    const char *levels[] = {"0", "2", "3", "4", "4", "65535"};
    for (int i = 0; i < count; ++i) {
        const NamedRecord &record = records[random.Below(static_cast<uint32_t>(records.size()))];
        const NamedConstants &constantsSet = constants[random.Below(static_cast<uint32_t>(constants.size()))];
        AddCase("random-" + Text(i), {constantsSet.name, record.name, Text(random.Between(0, 255)),
                                      peaks[random.Below(4)], methods[random.Below(7)],
                                      derivatives[random.Below(4)], levels[random.Below(6)]});
    }
}

void WriteInputs(Random &random, const std::vector<NamedRecord> &records,
                 const std::vector<NamedConstants> &constants)
{
    for (const NamedConstants &set : constants) {
        WriteFile(set.name + ".pvx.filters.v1", set.bytes);
    }
    WriteFile("k-empty.pvx.filters.v1", {});
    WriteFile("k-30-bytes.pvx.filters.v1", Constants(TypicalConstants.begin(), TypicalConstants.end() - 1));
    Constants longer = TypicalConstants;
    longer.push_back(0x5A);
    WriteFile("k-32-bytes.pvx.filters.v1", longer);

    for (const NamedRecord &record : records) {
        WriteFile(record.name + ".ecg", Bytes(record.samples));
    }
    const Samples ecg = Ecg(2000, RegularBeats(2000, 60, 200), BeatShape{}, random);
    auto firstBytes = [&ecg](size_t count) {
        const std::vector<uint8_t> bytes = Bytes(ecg);
        return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
    };
    WriteFile("len-empty.ecg", {});
    WriteFile("len-1-byte.ecg", firstBytes(1));
    WriteFile("len-599.ecg", firstBytes(1198));
    WriteFile("len-600-odd-byte.ecg", firstBytes(1201));
    WriteFile("len-601.ecg", firstBytes(1202));
    WriteFile("len-1000.ecg", firstBytes(2000));
    WriteFile("len-1499.ecg", firstBytes(2998));
    WriteFile("len-1500-odd-byte.ecg", firstBytes(3001));
    WriteFile("len-2000.ecg", firstBytes(4000));

    // Names whose outputs cannot be created: a directory stands in the way.
    WriteFile("blocked.ecg", firstBytes(3000));
    MakeDirectory("blocked.out");
    WriteFile("dumps-blocked.ecg", firstBytes(3000));
    for (const char *extension : {".lowpass", ".highpass", ".derivative", ".square", ".average"}) {
        MakeDirectory(std::string("dumps-blocked") + extension);
    }
}

void WriteCaseList()
{
    std::string text;
    for (const std::string &line : caseLines) {
        text += line + "\n";
    }
    WriteFile("cases.txt", std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: qz_generate_cases OUTDIR\n");
        return 2;
    }
    outputDirectory = argv[1];
    Random random(0x5EED1234u);
    const std::vector<NamedConstants> constants = MakeConstants(random);
    const std::vector<NamedRecord> records = MakeRecords(random);

    WriteInputs(random, records, constants);
    AddQueryAndErrorCases();
    AddMaskCases();
    AddSettingsMatrix(records, constants);
    AddArgumentCases();
    AddRandomCases(random, records, constants, 300);
    WriteCaseList();
    if (writeFailed) {
        return 1;
    }
    printf("%zu cases, %zu constants sets, %zu records\n", caseLines.size(), constants.size(), records.size());
    return 0;
}

// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the tool's whole path, in-process, over in-memory files.
//
// One input is decoded into a command line and two input files:
//
//   byte 0  control
//     bits 0-1  constants file: 0..2 the full 31 bytes; 3 a short file whose
//               length (0..30) is the next byte modulo 31
//     bits 2-3  recording: 0..1 1500 samples; 2 600 samples; 3 any length in
//               bytes, the next two bytes (little-endian) modulo 3600
//     bits 4-6  0..5 that many optional arguments; 6 no record name;
//               7 no arguments at all (the usage text)
//     bit 7     one stray byte after the samples (an odd-length file)
//   then each optional argument, led by a kind byte k:
//     k % 4 == 0  the decimal text of the next byte (0..255)
//     k % 4 == 1  the decimal text of the next four bytes as a signed 32-bit value
//     k % 4 == 2  one of the odd texts below, chosen by k / 4
//     k % 4 == 3  the next (k / 4) % 16 bytes as raw text (a zero byte ends it)
//   then the constants image (zero-padded when the input runs out)
//   then the samples: the remaining bytes, repeated to fill the recording
//   (all zero when none remain), so short inputs make periodic signals.
//
// Each input runs from the program-start state and must keep the tool's
// contract: exit status 0 exactly when both inputs were acceptable, then an
// 86-byte result record and full-length stage dumps; the same files again
// when the same input runs a second time; at most 1 s of processor time per
// run. A broken contract aborts. (The time limit is on processor time, not
// wall-clock time, so a busy machine does not fail an input; fuzz/run.sh
// gives libFuzzer a wall-clock timeout only to catch hangs.)
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include <qz_vozozi_DE/Driver.h>
#include <qz_vozozi_DE/QZ_MemoryFiles.h>

namespace {

constexpr std::size_t kConstantsBytes = QZ_CONSTANTS_FILE_BYTES;
constexpr std::size_t kLongRecordSamples = QZ_LONG_RECORD_SAMPLES;
constexpr std::size_t kShortRecordSamples = QZ_SHORT_RECORD_SAMPLES;
constexpr std::size_t kMaxRecordBytes = 3600;
constexpr unsigned kModeNoRecordName = 6;
constexpr unsigned kModeUsage = 7;
constexpr std::size_t kResultRecordBytes = 2u * QZ_RESULT_RECORD_WORDS;
constexpr double kMaxSecondsPerRun = 1.0;

const char *const kConstantsBase = "c";
const char *const kRecordBase = "r";
const char *const kOutputNames[] = {"r.out",    "r.lowpass", "r.highpass", "r.derivative",
                                    "r.square", "r.average", "thresholdmethod.info"};
const char *const kStageDumpNames[] = {"r.lowpass", "r.highpass", "r.derivative", "r.square", "r.average"};

// Numeric texts at the edges of strtol and of the 16-bit truncation.
const char *const kOddTexts[] = {"", "-1", "+7", " 42", "0x1F", "abc", "12abc", "2147483647", "2147483648",
                                 "-2147483649", "99999999999999999999", "65536", "-65535", "\t-0", "5", "300"};

// Reads the input front to back; past its end every byte is 0.
class ByteReader {
public:
    ByteReader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Next() { return offset_ < size_ ? data_[offset_++] : 0u; }
    const std::uint8_t *Rest() const { return data_ + offset_; }
    std::size_t RestSize() const { return size_ - offset_; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

struct Run {
    std::vector<std::string> arguments;
    std::vector<std::uint8_t> constants;
    std::vector<std::uint8_t> record;
};

std::string OptionalArgument(ByteReader &reader)
{
    const std::uint8_t kind = reader.Next();
    switch (kind % 4u) {
    case 0:
        return std::to_string(reader.Next());
    case 1: {
        std::uint32_t bits = 0;
        for (unsigned b = 0; b < 4; ++b) {
            bits |= static_cast<std::uint32_t>(reader.Next()) << (8u * b);
        }
        return std::to_string(static_cast<std::int32_t>(bits));
    }
    case 2:
        return kOddTexts[(kind / 4u) % (sizeof kOddTexts / sizeof kOddTexts[0])];
    default: {
        std::string text;
        const unsigned length = (kind / 4u) % 16u;
        for (unsigned i = 0; i < length; ++i) {
            const char c = static_cast<char>(reader.Next());
            if (c == '\0') break;
            text.push_back(c);
        }
        return text;
    }
    }
}

std::vector<std::string> Arguments(unsigned mode, ByteReader &reader)
{
    std::vector<std::string> arguments = {"qz_vozozi_DE"};
    if (mode == kModeUsage) return arguments;
    arguments.emplace_back(kConstantsBase);
    if (mode == kModeNoRecordName) return arguments;
    arguments.emplace_back(kRecordBase);
    for (unsigned i = 0; i < mode; ++i) {
        arguments.push_back(OptionalArgument(reader));
    }
    return arguments;
}

std::size_t RecordBytes(unsigned choice, ByteReader &reader)
{
    if (choice < 2u) return 2 * kLongRecordSamples;
    if (choice == 2u) return 2 * kShortRecordSamples;
    const unsigned low = reader.Next();
    const unsigned high = reader.Next();
    return (low | (high << 8)) % kMaxRecordBytes;
}

Run Decode(const std::uint8_t *data, std::size_t size)
{
    ByteReader reader(data, size);
    const std::uint8_t control = reader.Next();
    const bool shortConstants = (control & 3u) == 3u;
    const std::size_t constantsBytes = shortConstants ? reader.Next() % kConstantsBytes : kConstantsBytes;
    const std::size_t recordBytes = RecordBytes((control >> 2) & 3u, reader) + ((control & 0x80u) != 0u ? 1u : 0u);

    Run run;
    run.arguments = Arguments((control >> 4) & 7u, reader);
    for (std::size_t i = 0; i < constantsBytes; ++i) {
        run.constants.push_back(reader.Next());
    }
    run.record.resize(recordBytes, 0);
    if (reader.RestSize() > 0) {
        for (std::size_t i = 0; i < recordBytes; ++i) {
            run.record[i] = reader.Rest()[i % reader.RestSize()];
        }
    }
    return run;
}

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "fuzz contract broken: %s\n", what);
    std::abort();
}

int ExpectedStatus(const Run &run)
{
    const std::size_t argc = run.arguments.size();
    if (argc == 1) return 0;  // usage
    if (run.constants.size() < kConstantsBytes || argc < 3) return 1;
    const std::size_t samples = run.record.size() / 2;
    return (samples >= kLongRecordSamples || samples == kShortRecordSamples) ? 0 : 1;
}

std::size_t SamplesUsed(const Run &run)
{
    return run.record.size() / 2 >= kLongRecordSamples ? kLongRecordSamples : kShortRecordSamples;
}

std::map<std::string, std::vector<std::uint8_t>> Outputs()
{
    std::map<std::string, std::vector<std::uint8_t>> outputs;
    for (const char *name : kOutputNames) {
        if (const auto *file = qz::memfiles::GetFile(name)) outputs[name] = *file;
    }
    return outputs;
}

// Runs the driver from the program-start state and returns what it wrote.
std::map<std::string, std::vector<std::uint8_t>> RunOnce(const Run &run, int &status)
{
    qz::memfiles::Clear();
    qz::memfiles::SetFile(std::string(kConstantsBase) + ".pvx.filters.v1", run.constants);
    qz::memfiles::SetFile(std::string(kRecordBase) + ".ecg", run.record);
    std::vector<std::string> storage = run.arguments;
    std::vector<char *> argv;
    for (auto &argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    qz::QZ_ResetDriverState();
    const std::clock_t start = std::clock();
    status = qz::QZ_RunDriver(static_cast<int>(storage.size()), argv.data());
    std::fflush(stdout);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (seconds > kMaxSecondsPerRun) Fail("one run took more than 1 s of processor time");
    return Outputs();
}

void CheckOutputs(const Run &run, int status, const std::map<std::string, std::vector<std::uint8_t>> &outputs)
{
    if (status != ExpectedStatus(run)) Fail("exit status does not match the inputs");
    const bool pipelineRan = status == 0 && run.arguments.size() > 1;
    if (!pipelineRan) {
        if (!outputs.empty()) Fail("a run without a pipeline wrote files");
        return;
    }
    const auto result = outputs.find("r.out");
    if (result == outputs.end() || result->second.size() != kResultRecordBytes) Fail("result record missing or short");
    for (const char *name : kStageDumpNames) {
        const auto dump = outputs.find(name);
        if (dump != outputs.end() && dump->second.size() != 2 * SamplesUsed(run)) Fail("stage dump of wrong length");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The tool prints on every run; keep the fuzzer's own output readable.
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        (void)dup2(devNull, STDOUT_FILENO);
        (void)close(devNull);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Run run = Decode(data, size);
    int status = 0;
    const auto first = RunOnce(run, status);
    CheckOutputs(run, status, first);
    int again = 0;
    if (RunOnce(run, again) != first || again != status) Fail("the same input gave different results");
    return 0;
}

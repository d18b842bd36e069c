#include "io/wfdb/FlacSignals.h"

#include <FLAC/stream_decoder.h>

#include <fstream>
#include <memory>
#include <string>

#include "ToolkitError.h"

namespace qzkit {
namespace {

struct DecodeState {
    std::ifstream stream;
    unsigned channels = 0;
    std::uint64_t wanted = 0;
    std::vector<std::vector<std::int32_t>> samples;
    std::string problem;
};

FLAC__StreamDecoderReadStatus ReadBytes(const FLAC__StreamDecoder *, FLAC__byte buffer[], std::size_t *bytes,
                                        void *client)
{
    auto &state = *static_cast<DecodeState *>(client);
    state.stream.read(reinterpret_cast<char *>(buffer), static_cast<std::streamsize>(*bytes));
    *bytes = static_cast<std::size_t>(state.stream.gcount());
    if (state.stream.bad()) {
        state.problem = "cannot read";
        return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus WriteFrame(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                          const FLAC__int32 *const buffer[], void *client)
{
    auto &state = *static_cast<DecodeState *>(client);
    if (frame->header.channels != state.channels) {
        state.problem = "FLAC stream has " + std::to_string(frame->header.channels) + " channels, the header names " +
                        std::to_string(state.channels) + " signals";
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const std::uint64_t have = state.samples[0].size();
    const std::uint64_t take = std::min<std::uint64_t>(frame->header.blocksize, state.wanted - have);
    for (unsigned channel = 0; channel < state.channels; ++channel) {
        state.samples[channel].insert(state.samples[channel].end(), buffer[channel],
                                      buffer[channel] + static_cast<std::ptrdiff_t>(take));
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void ReportError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus status, void *client)
{
    auto &state = *static_cast<DecodeState *>(client);
    if (state.problem.empty()) {
        state.problem = std::string("FLAC data does not decode: ") + FLAC__StreamDecoderErrorStatusString[status];
    }
}

struct DecoderDeleter {
    void operator()(FLAC__StreamDecoder *decoder) const { FLAC__stream_decoder_delete(decoder); }
};

}  // namespace

std::vector<std::vector<std::int32_t>> DecodeFlacSignals(const std::filesystem::path &path, std::uint64_t byteOffset,
                                                        unsigned channels, std::uint64_t samples)
{
    DecodeState state;
    state.stream.open(path, std::ios::binary);
    if (!state.stream || !state.stream.seekg(static_cast<std::streamoff>(byteOffset))) {
        throw ToolkitError("cannot open " + path.string());
    }
    state.channels = channels;
    state.wanted = samples;
    state.samples.resize(channels);
    const std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder(FLAC__stream_decoder_new());
    if (!decoder || FLAC__stream_decoder_init_stream(decoder.get(), ReadBytes, nullptr, nullptr, nullptr, nullptr,
                                                     WriteFrame, nullptr, ReportError,
                                                     &state) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        throw ToolkitError(path.string() + ": cannot start the FLAC decoder");
    }
    while (channels > 0 && state.samples[0].size() < samples && state.problem.empty()) {
        const bool progressed = FLAC__stream_decoder_process_single(decoder.get()) != 0;
        const FLAC__StreamDecoderState status = FLAC__stream_decoder_get_state(decoder.get());
        if (status == FLAC__STREAM_DECODER_END_OF_STREAM) {
            break;
        }
        if (!progressed && state.problem.empty()) {
            state.problem = std::string("FLAC data does not decode: ") + FLAC__StreamDecoderStateString[status];
        }
    }
    if (!state.problem.empty()) {
        throw ToolkitError(path.string() + ": " + state.problem);
    }
    return std::move(state.samples);
}

}  // namespace qzkit

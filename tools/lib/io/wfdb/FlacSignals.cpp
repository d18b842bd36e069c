// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/FlacSignals.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

#include "ToolkitError.h"

namespace qzkit {
namespace {

struct DecodeState {
    std::ifstream stream;
    unsigned channels = 0;
    std::vector<std::vector<std::int32_t>> pending;  // decoded, not yet handed out
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
    for (unsigned channel = 0; channel < state.channels; ++channel) {
        state.pending[channel].insert(state.pending[channel].end(), buffer[channel],
                                      buffer[channel] + frame->header.blocksize);
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

struct FlacSignals::State {
    std::filesystem::path path;
    DecodeState decoding;
    std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder;
    std::uint64_t position = 0;
    bool ended = false;
};

FlacSignals::FlacSignals(const std::filesystem::path &path, std::uint64_t byteOffset, unsigned channels)
    : state_(std::make_unique<State>())
{
    state_->path = path;
    DecodeState &decoding = state_->decoding;
    decoding.stream.open(path, std::ios::binary);
    if (!decoding.stream || !decoding.stream.seekg(static_cast<std::streamoff>(byteOffset))) {
        throw ToolkitError("cannot open " + path.string());
    }
    decoding.channels = channels;
    decoding.pending.resize(channels);
    state_->decoder.reset(FLAC__stream_decoder_new());
    if (!state_->decoder ||
        FLAC__stream_decoder_init_stream(state_->decoder.get(), ReadBytes, nullptr, nullptr, nullptr, nullptr,
                                         WriteFrame, nullptr, ReportError,
                                         &decoding) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        throw ToolkitError(path.string() + ": cannot start the FLAC decoder");
    }
}

FlacSignals::~FlacSignals() = default;

std::uint64_t FlacSignals::Position() const
{
    return state_->position;
}

std::vector<std::vector<std::int32_t>> FlacSignals::Next(std::uint64_t samples)
{
    DecodeState &decoding = state_->decoding;
    FLAC__StreamDecoder *decoder = state_->decoder.get();
    while (decoding.channels > 0 && decoding.pending[0].size() < samples && !state_->ended &&
           decoding.problem.empty()) {
        const bool progressed = FLAC__stream_decoder_process_single(decoder) != 0;
        const FLAC__StreamDecoderState status = FLAC__stream_decoder_get_state(decoder);
        state_->ended = status == FLAC__STREAM_DECODER_END_OF_STREAM;
        if (!progressed && !state_->ended && decoding.problem.empty()) {
            decoding.problem = std::string("FLAC data does not decode: ") + FLAC__StreamDecoderStateString[status];
        }
    }
    if (!decoding.problem.empty()) {
        throw ToolkitError(state_->path.string() + ": " + decoding.problem);
    }
    std::vector<std::vector<std::int32_t>> taken(decoding.channels);
    for (unsigned channel = 0; channel < decoding.channels; ++channel) {
        std::vector<std::int32_t> &pending = decoding.pending[channel];
        const auto count = static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(samples, pending.size()));
        taken[channel].assign(pending.begin(), pending.begin() + count);
        pending.erase(pending.begin(), pending.begin() + count);
    }
    state_->position += decoding.channels > 0 ? taken[0].size() : 0;
    return taken;
}

}  // namespace qzkit

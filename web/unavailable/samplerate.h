// SPDX-License-Identifier: Apache-2.0
// The page's stand-in for the resampling library, which has no WebAssembly
// build among Debian's packages: the toolkit's resampler compiles against
// it unchanged, passes equal rates through as always, and reports every real
// conversion as unavailable, so the page asks for a recording at the tool's
// rate instead of resampling it differently from the desktop.
#ifndef QZ_WEB_SAMPLERATE_H
#define QZ_WEB_SAMPLERATE_H

enum { SRC_SINC_BEST_QUALITY, SRC_SINC_MEDIUM_QUALITY, SRC_SINC_FASTEST };

struct SRC_DATA {
    const float *data_in;
    float *data_out;
    long input_frames;
    long output_frames;
    long input_frames_used;
    long output_frames_gen;
    int end_of_input;
    double src_ratio;
};

inline int src_is_valid_ratio(double ratio)
{
    return ratio >= 1.0 / 256.0 && ratio <= 256.0;
}

struct SRC_STATE;

inline SRC_STATE *src_new(int, int, int *error)
{
    *error = 1;
    return nullptr;
}

inline int src_process(SRC_STATE *, SRC_DATA *)
{
    return 1;
}

inline SRC_STATE *src_delete(SRC_STATE *)
{
    return nullptr;
}

inline const char *src_strerror(int)
{
    return "the page does not resample; give a recording at 250 Hz, or convert it with qzkit convert";
}

#endif

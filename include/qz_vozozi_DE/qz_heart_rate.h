/* SPDX-License-Identifier: Apache-2.0 */
/* The C interface of the heart-rate library (C99 and C++): BPM and QI from
 * one recording of 1500 or 600 samples held in memory, with the sampling
 * constants as their 31-byte file image. No heap; no file is written unless
 * a record name is given. The library keeps its working state in static
 * storage: one call at a time, each call independent of the ones before. */
#ifndef QZ_HEART_RATE_H
#define QZ_HEART_RATE_H

#include <stddef.h>
#include <stdint.h>

/* The two record lengths the library takes, in samples; four samples pack
 * into five bytes. */
#define QZ_LONG_RECORD_SAMPLES 1500u
#define QZ_SHORT_RECORD_SAMPLES 600u
#define QZ_GROUP_SAMPLES 4u
#define QZ_GROUP_BYTES 5u
#define QZ_PACKED_BYTES(samples) ((samples) / QZ_GROUP_SAMPLES * QZ_GROUP_BYTES)

/* The sampling constants' file image, in bytes. */
#define QZ_CONSTANTS_FILE_BYTES 31

/* Peak locations kept and published. */
#define QZ_MAX_PEAKS 25u

#ifdef __cplusplus
extern "C" {
#endif
#if defined(__GNUC__)
#pragma GCC visibility push(default) /* the interface of the shared library */
#endif

/* What a call returns. */
typedef enum qz_status {
    QZ_OK = 0,
    QZ_ERROR_LENGTH = 1,    /* not 1500 or 600 samples (packed: 1875 or 750 bytes) */
    QZ_ERROR_CONSTANTS = 2, /* the constants image is not 31 bytes */
    QZ_ERROR_ARGUMENT = 3   /* a null pointer where data is needed */
} qz_status;

/* The settings of a run, as the command-line tool takes them. */
typedef struct qz_settings {
    uint16_t stage_mask;       /* stages to run: bit 0 low-pass .. bit 6 beat rate */
    uint16_t peak_detection;   /* 0 absolute threshold, any other value variable */
    uint16_t beat_method;      /* low 3 bits: 1 template, 2 level-based, others statistical */
    uint16_t derivative_order; /* 5 five-point, any other value two-point */
} qz_settings;

/* The statistics of beat-rate estimation (the result record's last 14 words). */
typedef struct qz_statistics {
    uint16_t qi_pattern;          /* QI of the beat-classification method, in bits 10-11 */
    uint16_t max_peak;            /* highest and lowest peak height */
    uint16_t min_peak;
    uint16_t high_peak_threshold; /* level-based method's thresholds */
    uint16_t low_peak_threshold;
    uint16_t median;              /* median of the conditioned buffer */
    uint32_t high_bucket;         /* bit i: peak i is high, low, in between */
    uint32_t low_bucket;
    uint32_t middle_bucket;
    uint32_t signal_sum;          /* sum of the conditioned buffer's samples */
} qz_statistics;

/* What a run found: the fields of the tool's result record. */
typedef struct qz_result {
    uint16_t bpm;                          /* 0..1023 */
    uint16_t qi;                           /* 0 (best) .. 3 (bad or failed measurement) */
    uint16_t classified;                   /* 1 when a beat-classification method decided */
    uint16_t peak_count;                   /* peaks found, up to 255 */
    uint16_t peak_locations[QZ_MAX_PEAKS]; /* one-based sample positions, 0 past the last */
    qz_statistics statistics;
} qz_result;

/* The library's version, "MAJOR.MINOR.PATCH". */
const char *qz_version(void);

/* The command-line tool's default settings: every stage, variable peak
 * threshold, template matching, two-point derivative. */
qz_settings qz_default_settings(void);

/* Estimates from `sample_count` 16-bit samples (their low 10 bits are used).
 * `settings` may be null for the defaults. With a non-null `record_name` the
 * run writes what the tool writes beside its record through the library's
 * file operations (the stage dumps, in a build with them, and the statistics
 * record); with a null one it writes nothing. On any error `*result` is left
 * alone. */
qz_status qz_estimate(const uint8_t *constants, size_t constants_bytes, const uint16_t *samples,
                      size_t sample_count, const qz_settings *settings, const char *record_name,
                      qz_result *result);

/* The same from the packed form of the recording (1875 or 750 bytes, four
 * samples in five bytes as the library stores them), which the run filters
 * in place: afterwards it holds the last conditioning stage's output. */
qz_status qz_estimate_packed(const uint8_t *constants, size_t constants_bytes, uint8_t *packed,
                             size_t packed_bytes, const qz_settings *settings, const char *record_name,
                             qz_result *result);

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif
#ifdef __cplusplus
}
#endif

#endif

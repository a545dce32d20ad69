/* Plain C interface of libfaac.so, the AAC encoder loaded by name at run time. */
#ifndef ZIMBAR_OUTSIDE_FAAC_API_H
#define ZIMBAR_OUTSIDE_FAAC_API_H

#include <stdint.h>

#if defined(FAAC_BUILDING_LIBRARY)
#define FAAC_EXPORT __attribute__((visibility("default")))
#else
#define FAAC_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Encodes interleaved 16-bit PCM into AAC (low complexity, or long-term prediction when
 * asked) in one of three output formats, chosen by outputFormat:
 * - ADIF: raw data blocks behind one ADIF header. The caller reserves headerBytes at the
 *   start of the file, writes the blocks behind them, and finally writes the header that
 *   faacEncodeFree returns.
 * - ADTS: every raw data block preceded by its own 7-byte ADTS header (MPEG-4, no CRC,
 *   one block per frame) carrying the profile, sampling index and channel configuration;
 *   the bytes handed out are the whole file, and there is no header to reserve.
 * - raw: the raw data blocks alone.
 *
 * Each handle is independent; one handle must not be used by two threads at once.
 *
 * The first block carries the encoder delay of 1024 samples per channel; the last ones
 * carry the tail, so every input sample is encoded once faacEncodeFinish has been called.
 */

/* Configuration record: twelve signed 32-bit fields in this order. */
typedef struct FaacEncodeConfig {
  int32_t channels;         /*  1: 1 or 2 */
  int32_t inputRate;        /*  2: Hz; one of 8000, 11025, 12000, 16000, 22050, 24000,
                                   32000, 44100, 48000, 64000, 88200, 96000 */
  int32_t outputRate;       /*  3: Hz; must equal inputRate (no resampling) */
  int32_t bitRate;          /*  4: bits per second for all channels together; 0 = the
                                   encoder's default. Capped at what AAC can carry */
  int32_t cutoffHz;         /*  5: upper limit of the audio bandwidth in Hz; 0, or
                                   outputRate / 2 and above, sets no limit: the encoder
                                   then picks the bandwidth that suits the bit rate */
  int32_t useLfe;           /*  6: must be 0 (no low-frequency channel is supported) */
  int32_t outputFormat;     /*  7: FAAC_OUTPUT_ADIF = faacEncodeFree returns an ADIF header
                                   (headerBytes > 0); FAAC_OUTPUT_ADTS = each block comes
                                   with its ADTS header; FAAC_OUTPUT_RAW = raw blocks only
                                   (headerBytes = 0 for both) */
  int32_t jointStereo;      /*  8: 1 = mid/side coding where it pays, band by band;
                                   0 = left/right only */
  int32_t usePns;           /*  9: 1 = perceptual noise substitution; 0 = off */
  int32_t useTns;           /* 10: 1 = temporal noise shaping; 0 = off */
  int32_t useLtp;           /* 11: 1 = long-term prediction object type; 0 = low complexity */
  int32_t useIntensityStereo; /* 12: 1 = intensity stereo; 0 = off */
} FaacEncodeConfig;

/* Values of outputFormat. */
#define FAAC_OUTPUT_RAW 0
#define FAAC_OUTPUT_ADIF 1
#define FAAC_OUTPUT_ADTS 2

/* Opaque encoder handle; NULL means failure. */
typedef struct FaacEncoder* FaacEncodeHandle;

/* Results of faacEncodeFrame, faacEncodeFinish and faacEncodeFree. */
#define FAAC_OK 0
#define FAAC_ERR_ARGUMENT (-1)  /* null handle or pointer, negative sample count */
#define FAAC_ERR_STATE (-2)     /* frame after finish, finish twice */
#define FAAC_ERR_ENCODER (-3)   /* the encoder failed on a block */
#define FAAC_ERR_BUFFER (-4)    /* the output would not fit the buffer size given by init */
#define FAAC_ERR_MEMORY (-5)    /* out of memory */

/* Starts an encoder. On success returns the handle and fills:
 *   *samplesPerFrame   16-bit samples (all channels) the caller should pass per call:
 *                      1024 x channels;
 *   *outputBufferBytes the size of the output buffer the caller must pass to every
 *                      later call (always at least *headerBytes);
 *   *headerBytes       size of the ADIF header in bytes (0 unless outputFormat is
 *                      FAAC_OUTPUT_ADIF).
 * Returns NULL (outputs untouched) for a NULL argument, an unsupported channel count, a
 * sample rate without an AAC rate index, differing input and output rates, useLfe set,
 * an unknown output format, or when the encoder cannot start. */
FAAC_EXPORT FaacEncodeHandle faacEncodeInit(const FaacEncodeConfig* config,
                                            int32_t* samplesPerFrame,
                                            int32_t* outputBufferBytes,
                                            int32_t* headerBytes);

/* Takes pcmSamples interleaved 16-bit samples (all channels; any count >= 0: input is
 * gathered into whole frames, so fewer than samplesPerFrame is fine and 0 encodes
 * nothing; a last sample without its right-channel partner is completed with silence). Writes the blocks that became ready to output and their
 * byte count to *outputBytes (often 0 while the encoder fills its look-ahead).
 * FAAC_OK or an error; after an error the handle can only be freed. */
FAAC_EXPORT int32_t faacEncodeFrame(FaacEncodeHandle handle, const int16_t* pcm,
                                    int32_t pcmSamples, uint8_t* output,
                                    int32_t* outputBytes);

/* Encodes what is left (the last partial frame and the encoder's look-ahead) and writes
 * the remaining blocks to output, their byte count to *outputBytes. Call once, after the
 * last faacEncodeFrame. */
FAAC_EXPORT int32_t faacEncodeFinish(FaacEncodeHandle handle, uint8_t* output,
                                     int32_t* outputBytes);

/* Frees the encoder. When output is not NULL and the configuration asked for ADIF, writes
 * the ADIF header (headerBytes bytes: "ADIF", the peak bit rate of the blocks, one
 * program configuration element for the rate and channel count) to output; output must
 * then be at least headerBytes long. FAAC_OK, or FAAC_ERR_ARGUMENT for a NULL handle.
 * The handle is invalid afterwards in every case. */
FAAC_EXPORT int32_t faacEncodeFree(FaacEncodeHandle handle, uint8_t* output);

#ifdef __cplusplus
}
#endif

#endif

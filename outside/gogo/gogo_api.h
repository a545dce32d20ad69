/* Plain C interface of libgogo.so, the MP3 encoder loaded by name at run time. */
#ifndef ZIMBAR_OUTSIDE_GOGO_API_H
#define ZIMBAR_OUTSIDE_GOGO_API_H

#include <stdint.h>

#if defined(GOGO_BUILDING_LIBRARY)
#define GOGO_EXPORT __attribute__((visibility("default")))
#else
#define GOGO_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The library holds one encoder per process (the interface has no handle): run one
 * encode at a time and finish it with MPGE_closeCoder before MPGE_initializeWork starts
 * the next. A call made while another call is still running returns GOGO_ERR_STATE; so
 * do the calls after a fault that the host caught inside the library, until
 * MPGE_closeCoder or MPGE_initializeWork, which always take over and reset.
 *
 * Call order:
 *   MPGE_initializeWork            forgets any earlier configuration
 *   MPGE_setConfigure ... (any)    records items; nothing is opened yet
 *   MPGE_detectConfigure           opens and checks the input WAV, creates the output,
 *                                  starts the encoder
 *   MPGE_getConfigure(15, &n)      n = number of MPGE_processFrame calls that return 0
 *   MPGE_processFrame until 1      each call encodes one block of input
 *   MPGE_endCoder                  flushes the last frames, writes the info tag, closes
 *   MPGE_closeCoder                frees everything (also after a failure, any time)
 *
 * The input is a RIFF/WAVE (or, past 4 GiB, RF64) file of 16-bit PCM with one or two
 * channels; the audio is the data chunk, or what the file really holds when the chunk
 * claims more.
 * Output is an MP3 file without ID3 tag: MPEG-1 Layer III at 32000, 44100 and 48000 Hz,
 * MPEG-2 Layer III below 32000 Hz. The first frame is an info frame (VBR/CBR tag with the
 * frame count and encoder delay), rewritten by MPGE_endCoder when the output is seekable.
 */

/* Results of every function. */
#define GOGO_OK 0
#define GOGO_END_OF_INPUT 1       /* MPGE_processFrame only: nothing left to encode */
#define GOGO_ERR_STATE (-1)       /* called out of order (e.g. processFrame before detect) */
#define GOGO_ERR_ITEM (-2)        /* unknown item number or value out of range */
#define GOGO_ERR_INPUT_OPEN (-3)  /* input path missing or the file cannot be opened */
#define GOGO_ERR_INPUT_FORMAT (-4) /* not RIFF/WAVE, not PCM, not 16-bit, not 1 or 2 channels */
#define GOGO_ERR_INPUT_READ (-5)  /* reading the input failed or it shrank while encoding */
#define GOGO_ERR_OUTPUT_OPEN (-6) /* output path missing or the file cannot be created */
#define GOGO_ERR_OUTPUT_WRITE (-7) /* writing the output failed (full disk, I/O error) */
#define GOGO_ERR_ENCODER (-8)     /* the encoder refused the configuration or a frame */
#define GOGO_ERR_MEMORY (-9)      /* out of memory */

/* Configuration items (first argument of MPGE_setConfigure / MPGE_getConfigure).
 * "value" is the numeric argument, "text" the text argument of MPGE_setConfigure; the
 * library copies the text, so the caller's buffer may go away after the call. */
#define GOGO_ITEM_INPUT_FILE 1      /* text: path of the WAV file to encode; value unused */
#define GOGO_ITEM_OUTPUT_FILE 2     /* text: path of the MP3 file to create or truncate */
#define GOGO_ITEM_CHANNEL_MODE 3    /* value: 0 mono (a stereo input is mixed down),
                                       1 stereo, 2 joint stereo. Default: 2 for a stereo
                                       input, 0 for a mono input */
#define GOGO_ITEM_BIT_RATE 4        /* value: kbit/s. Constant rate; with VBR quality set it
                                       is the lowest rate VBR may use. Default 128 */
#define GOGO_ITEM_OUTPUT_FREQUENCY 6 /* value: output sample rate in Hz (0 = as input); the
                                       input is resampled. Below 32000 gives MPEG-2 */
#define GOGO_ITEM_QUALITY_MODE 8    /* value: 1 high quality (default), 0 fast mode */
#define GOGO_ITEM_FRAME_COUNT 15    /* get only: int32_t, valid after MPGE_detectConfigure */
#define GOGO_ITEM_ERROR_PROTECTION 16 /* value: 1 adds a CRC to every frame, 0 none (default) */
#define GOGO_ITEM_VBR_QUALITY 18    /* value: 0 (best) .. 9 (smallest) switches to variable
                                       bit rate; any other value switches VBR off */
#define GOGO_ITEM_INPUT_FREQUENCY 19 /* get only: int32_t, the input's sample rate in Hz */
#define GOGO_ITEM_INPUT_CHANNELS 20 /* get only: int32_t, the input's channel count */

/* 0 = ready. Resets the encoder to its defaults (closing anything left open). */
GOGO_EXPORT int32_t MPGE_initializeWork(void);

/* Sets one item (table above). Returns GOGO_OK or GOGO_ERR_ITEM / GOGO_ERR_STATE (after
 * MPGE_detectConfigure items can no longer change). "text" may be NULL for numeric items. */
GOGO_EXPORT int32_t MPGE_setConfigure(uint32_t item, uint32_t value, const char* text);

/* Reads one item into *value: items 3, 4, 6, 8, 15, 16, 18, 19, 20 write an int32_t
 * (item 18 gives -1 when VBR is off). Items 1 and 2 are not readable (GOGO_ERR_ITEM).
 * Items 15, 19 and 20 need a successful MPGE_detectConfigure (else GOGO_ERR_STATE). */
GOGO_EXPORT int32_t MPGE_getConfigure(uint32_t item, void* value);

/* Applies the configuration: opens and checks the input, creates the output, starts the
 * encoder. 0 = accepted; otherwise one of the errors above and nothing stays open. */
GOGO_EXPORT int32_t MPGE_detectConfigure(void);

/* Encodes the next block of input and writes the MP3 frames it completes.
 * GOGO_OK = one block encoded, GOGO_END_OF_INPUT = nothing left (call MPGE_endCoder),
 * anything else = failure (the output is then incomplete and must not be trusted). */
GOGO_EXPORT int32_t MPGE_processFrame(void);

/* Flushes the last frames, writes the info tag into the first frame and closes the
 * output. Also valid after a partial encode (cancel): the output then holds what was
 * encoded so far, properly ended. 0 = output complete; GOGO_ERR_OUTPUT_WRITE when any
 * write or the close failed. */
GOGO_EXPORT int32_t MPGE_endCoder(void);

/* Frees the encoder and closes both files. Always GOGO_OK; safe to call at any time,
 * also twice. An output not finished by MPGE_endCoder is left as it is. */
GOGO_EXPORT int32_t MPGE_closeCoder(void);

#ifdef __cplusplus
}
#endif

#endif

/* Plain C interface of libzbdecode.so: the MPEG audio decoder loaded by name at run time. */
#ifndef ZIMBAR_OUTSIDE_ZBDECODE_API_H
#define ZIMBAR_OUTSIDE_ZBDECODE_API_H

#include <stdint.h>

#if defined(ZBDECODE_BUILDING_LIBRARY)
#define ZBDECODE_EXPORT __attribute__((visibility("default")))
#else
#define ZBDECODE_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Decodes MPEG-1, MPEG-2 and MPEG-2.5 audio, Layers I, II and III, mono and stereo, at
 * the stream's own sample rate into interleaved signed 16-bit native-endian samples. No
 * resampling and no gain: the samples are those of the reference mpg123 decoder with its
 * default settings (gapless trimming of encoder delay and padding included). Leading
 * garbage before the first frame (and ID3v2 tags) is skipped, however long: the stream
 * starts at the first frame header that begins a run of four frames of one stream (two
 * when the input ends behind them), so other formats and random bytes, whose stray
 * headers a lenient decoder turns into noise, give no frame at all. While the search
 * runs decoder_decode returns ZBD_NO_FRAME_YET, one piece of the input each call; an
 * input without such a run ends with ZBD_END_OF_INPUT before any frame. The first frame fixes the
 * rate and channel count for the whole stream: later frames in another format (damage
 * that looks like a header, a different file stitched on) are skipped, so the output
 * can be written as one uniform PCM stream.
 *
 * Use:
 *   ZbdDecoder* d; decoder_new(&d);
 *   ZbdInputModule m; file_input_module_register(&m); decoder_input_module_register(d, &m);
 *   decoder_input_new(d, path, -1); decoder_input_open(d);
 *   while ((r = decoder_decode(d, NULL)) == ZBD_OK || r == ZBD_NO_FRAME_YET
 *          || r == ZBD_FRAME_SKIPPED)
 *     if (r == ZBD_OK) use d->outputBuffer->pcm, ->bytes, ->stereo, ->sampleRate;
 *   decoder_delete(d);
 *
 * Each decoder is independent; one decoder must not be used by two threads at once.
 * The records below belong to the decoder: read them, never write them, and do not use
 * them after decoder_delete. They are laid out in the order of their 32-bit words
 * (numbered in the comments); pointers take 8 bytes on 64-bit builds, so read fields by
 * name.
 */

/* Results. */
#define ZBD_OK 0                    /* success; decoder_decode: one frame is in outputBuffer */
#define ZBD_ERR_FAILURE (-1)        /* unspecified failure */
#define ZBD_ERR_MEMORY (-2)         /* out of memory */
#define ZBD_ERR_ARGUMENT (-3)       /* NULL decoder, name or module; bad module id */
#define ZBD_ERR_NO_MODULE (-4)      /* no registered input module accepts the name */
#define ZBD_ERR_INPUT_OPEN (-5)     /* the input cannot be opened */
#define ZBD_ERR_STATE (-6)          /* no input created / not opened */
#define ZBD_ERR_INPUT_READ (-7)     /* reading the input failed */
#define ZBD_ERR_DECODE (-8)         /* the stream cannot be decoded */
#define ZBD_ERR_TOO_MANY_MODULES (-9) /* more than ZBD_MAX_INPUT_MODULES registered */
#define ZBD_END_OF_INPUT (-10)      /* decoder_decode: the input is exhausted (normal end) */
#define ZBD_NO_FRAME_YET (-103)     /* decoder_decode: no samples this time (format change,
                                       delay trimmed, more input needed): call again */
#define ZBD_FRAME_SKIPPED (-600)    /* decoder_decode: a frame was skipped (damaged, or in
                                       another rate or channel count than the stream's
                                       first frame): call again */

#define ZBD_MAX_INPUT_MODULES 8

/* Description block of an input module, filled by the module's register function
 * (file_input_module_register) and copied by decoder_input_module_register. The functions
 * must not throw; "stream" is the module's own state. */
typedef struct ZbdInputModule {
  uint32_t structBytes;             /* sizeof(ZbdInputModule) */
  const char* name;                 /* static text, e.g. "file" */
  /* Nonzero when this module can open the name (probe order = registration order). */
  int32_t (*accepts)(const char* name);
  /* ZBD_OK and *stream set, or ZBD_ERR_INPUT_OPEN / ZBD_ERR_MEMORY. */
  int32_t (*open)(const char* name, void** stream);
  /* Bytes read (0 = end of input), or a negative result on failure. */
  int64_t (*read)(void* stream, void* buffer, uint32_t bytes);
  /* New byte position, or -1 when the input cannot seek there. whence as lseek(2). */
  int64_t (*seek)(void* stream, int64_t offset, int32_t whence);
  /* Total bytes, or -1 when unknown (streams). */
  int64_t (*size)(void* stream);
  void (*close)(void* stream);
} ZbdInputModule;

/* Input status record. */
typedef struct ZbdInputStatus {
  uint32_t state;       /* 1: ZBD_INPUT_* */
  const char* name;     /* 2: the name given to decoder_input_new (NULL before) */
  uint32_t position;    /* 3: current byte position in the input, in units of 2^unitShift */
  uint32_t size;        /* 4: input size in the same unit; 0 when unknown or empty */
  uint32_t unitShift;   /* 5: 0 below 4 GiB; larger so that size fits 32 bits */
  int32_t moduleId;     /* 6: the input module in use, -1 before decoder_input_new */
} ZbdInputStatus;

#define ZBD_INPUT_NONE 0    /* no input created */
#define ZBD_INPUT_CREATED 1 /* decoder_input_new done */
#define ZBD_INPUT_OPEN 2    /* decoder_input_open done, decoding */
#define ZBD_INPUT_ENDED 3   /* end of input reached or decoding failed */

/* Facts of the last decoded frame (all 0 before the first frame). */
typedef struct ZbdStreamInfo {
  uint32_t mpegVersion; /* 1: 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5 */
  uint32_t layer;       /* 2: 1, 2 or 3 */
  uint32_t bitRate;     /* 3: kbit/s of the last frame */
  uint32_t sampleRate;  /* 4: Hz */
  uint32_t channelMode; /* 5: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono */
  uint32_t variableRate; /* 6: 0 constant, 1 variable, 2 average bit rate */
  uint32_t frameBytes;  /* 7: size of the last frame in bytes */
  uint32_t framesDecoded; /* 8: frames that gave samples so far */
} ZbdStreamInfo;

/* Output buffer record: the PCM of the frame decoder_decode returned ZBD_OK for. */
typedef struct ZbdOutputBuffer {
  uint32_t capacityBytes; /* 1: size of the area pcm points to */
  int16_t* pcm;           /* 2: interleaved samples, owned by the decoder, valid until the
                                next decoder_decode or decoder_delete */
  uint32_t bytes;         /* 3: byte count of the samples */
  uint32_t bytesPerSample; /* 4: 2 */
  uint32_t stereo;        /* 5: 1 = two channels (left, right), 0 = mono */
  uint32_t sampleRate;    /* 6: Hz */
  uint32_t startFrames;   /* 7: position of the first sample in frames (per channel) from
                                the start of the decoded stream */
} ZbdOutputBuffer;

/* Decoder record, created by decoder_new. */
typedef struct ZbdDecoder {
  uint32_t structBytes;          /* 1: sizeof(ZbdDecoder) */
  ZbdInputStatus* inputStatus;   /* 2 */
  ZbdStreamInfo* streamInfo;     /* 3 */
  uint32_t moduleCount;          /* 4: registered input modules */
  uint32_t lastResult;           /* 5: last result of decoder_decode, as uint32 */
  ZbdOutputBuffer* outputBuffer; /* 6 */
  struct ZbdDecoderPrivate* internal; /* 7: the library's own state */
} ZbdDecoder;

/* Creates a decoder: ZBD_OK and *decoder set, or ZBD_ERR_ARGUMENT / ZBD_ERR_MEMORY. */
ZBDECODE_EXPORT int32_t decoder_new(ZbdDecoder** decoder);

/* Closes the input and frees the decoder and its records. ZBD_OK; NULL is ignored. */
ZBDECODE_EXPORT int32_t decoder_delete(ZbdDecoder* decoder);

/* Copies the description block; returns the module id (0, 1, ...) or a negative result. */
ZBDECODE_EXPORT int32_t decoder_input_module_register(ZbdDecoder* decoder,
                                                      const ZbdInputModule* module);

/* Creates the input processor for name (the name is copied). moduleId picks a registered
 * module; -1 takes the first one that accepts the name. An earlier input is closed.
 * ZBD_OK, ZBD_ERR_ARGUMENT, ZBD_ERR_NO_MODULE. Nothing is opened yet. */
ZBDECODE_EXPORT int32_t decoder_input_new(ZbdDecoder* decoder, const char* name,
                                          int32_t moduleId);

/* Opens the input and prepares decoding. ZBD_OK, ZBD_ERR_STATE, ZBD_ERR_INPUT_OPEN,
 * ZBD_ERR_MEMORY, ZBD_ERR_DECODE. */
ZBDECODE_EXPORT int32_t decoder_input_open(ZbdDecoder* decoder);

/* Decodes the next frame. reserved must be NULL (else ZBD_ERR_ARGUMENT).
 * ZBD_OK: outputBuffer holds one frame's samples (bytes > 0) and inputStatus->position
 * has advanced. ZBD_NO_FRAME_YET, ZBD_FRAME_SKIPPED: call again. ZBD_END_OF_INPUT: the
 * normal end; a truncated last frame ends here too. Other negative values: failure;
 * later calls keep returning ZBD_END_OF_INPUT. */
ZBDECODE_EXPORT int32_t decoder_decode(ZbdDecoder* decoder, void* reserved);

/* Fills the description block of the local file input module (name "file"; accepts every
 * name that is not a URL of the form scheme://). ZBD_OK, or ZBD_ERR_ARGUMENT for NULL. */
ZBDECODE_EXPORT int32_t file_input_module_register(ZbdInputModule* module);

#ifdef __cplusplus
}
#endif

#endif

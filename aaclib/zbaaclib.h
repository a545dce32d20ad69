/* zbaaclib: plain C interface of the AAC decoder library (libzbaaclib.so). */
#ifndef ZIMBAR_AACLIB_ZBAACLIB_H
#define ZIMBAR_AACLIB_ZBAACLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZBAACLIB_BUILDING)
#define ZBAACLIB_EXPORT __attribute__((visibility("default")))
#else
#define ZBAACLIB_EXPORT
#endif

/* Stream record filled by AACDecoder_Open; owned by the caller. 8 bytes. */
typedef struct AacStreamInfo {
  uint16_t sampleRate;  /* Hz; only the low 16 bits of rates above 65535 */
  uint16_t channelMode; /* 0 = two channels, 3 = one channel (always 0: output is two-channel) */
  uint32_t bitRate;     /* bits per second */
} AacStreamInfo;

/* Version record filled by AACDecoder_Version; owned by the caller. The library sets both
   words to 0 and writes a single zero byte at the start of text. */
typedef struct AacVersionInfo {
  uint32_t word0;
  uint32_t word1;
  char text[256];
} AacVersionInfo;

/* Number of 16-bit samples the caller's output area must hold for every Decode call
   (1024 sample periods, two interleaved slots each): 4096 bytes. */
#define ZBAAC_OUTPUT_SAMPLES 2048

/* Prepares decoding of the file at path (zero-terminated, UTF-8 / narrow) and fills *info.
   Always returns 0; a file that cannot be opened or read shows as the first Decode
   returning 0, with *info holding the defaults (44100 Hz, mode 0, 128000 bit/s).
   The library keeps one decoder state for the whole process: call Open, Decode and Close
   from one thread at a time, for one stream at a time. */
ZBAACLIB_EXPORT int32_t AACDecoder_Open(AacStreamInfo* info, const char* path);

/* Decodes the next block into out[0 .. 2047]: 1024 periods, channel c of period k in
   out[2k + c]. A one-channel stream writes its sample into both slots of each period.
   Returns 0 when there is no more output (end of input, an error, or an element that stops
   decoding); the call that reaches the end of the input may still have written samples.
   Otherwise returns a positive count (bits taken from the input); callers test it against 0.
   After an error, returns 0 at once and leaves out untouched. */
ZBAACLIB_EXPORT int32_t AACDecoder_Decode(int16_t* out);

/* Ends decoding: closes the file and frees the buffers. Always returns 0. After an error
   it does nothing; the next Open starts afresh. */
ZBAACLIB_EXPORT int32_t AACDecoder_Close(void);

/* Fills *info with zeros and an empty text. Always returns 0. */
ZBAACLIB_EXPORT int32_t AACDecoder_Version(AacVersionInfo* info);

/* Pointer types for callers that look the entries up by name at run time. */
typedef int32_t (*AACDecoder_OpenFn)(AacStreamInfo*, const char*);
typedef int32_t (*AACDecoder_DecodeFn)(int16_t*);
typedef int32_t (*AACDecoder_CloseFn)(void);
typedef int32_t (*AACDecoder_VersionFn)(AacVersionInfo*);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZIMBAR_AACLIB_ZBAACLIB_H */

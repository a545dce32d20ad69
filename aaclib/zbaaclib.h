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
   out[2k + c]. A one-channel stream writes its sample into both slots of each period; a
   block without channels, and each block of an ADTS frame that was damaged or lost, is
   silence (decoding goes on from the next frame header; AACDecoder_Report counts them).
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

/* How a decode came out: every caller takes the library's verdict, so that all of them
   judge a stream alike. */
#define ZBAAC_VERDICT_RUNNING (-1)       /* Decode has not returned 0 yet */
#define ZBAAC_VERDICT_OK 0               /* decoded to its end, nothing lost */
#define ZBAAC_VERDICT_OK_WITH_LOSSES 1   /* decoded to its end; a small share was skipped (damaged
                                            frames, junk) or cut off: a success worth a warning */
#define ZBAAC_VERDICT_NO_AUDIO 2         /* no AAC audio found: nothing decoded, or the stream failed
                                            within its first blocks (another format, random bytes) */
#define ZBAAC_VERDICT_DAMAGED 3          /* more than one part in 20 of the input did not decode */
#define ZBAAC_VERDICT_CANNOT_READ 4      /* the file could not be opened or read (errorNumber) */

/* How the stream was read. */
#define ZBAAC_FORM_RAW 0
#define ZBAAC_FORM_ADIF 1
#define ZBAAC_FORM_ADTS 2

/* What the decode of the stream opened last came to (AACDecoder_Report); owned by the
   caller. Counts are of the whole decode so far; sizes are in bytes of the input file.
   Blocks are of 1024 sample periods; together, blocksDecoded + blocksEmpty + blocksSilent
   are the blocks Decode gave. 88 bytes, no padding. */
typedef struct AacDecodeReport {
  uint64_t inputBytes;     /* size of the input file */
  uint64_t blocksDecoded;  /* blocks decoded from the stream's audio */
  uint64_t blocksEmpty;    /* blocks of the stream without channels, given as silence */
  uint64_t blocksSilent;   /* blocks of silence given in place of lost frames */
  uint64_t framesSkipped;  /* ADTS frames lost: damaged ones, and those a stretch without a
                              frame header stood for (its length over the mean frame length) */
  uint64_t bytesSkipped;   /* damaged frames and bytes without a frame before or between frames */
  uint64_t bytesUnread;    /* behind the last block: trailing junk, or all that followed the
                              block where a raw or ADIF stream stopped */
  uint64_t bytesTruncated; /* an incomplete last block or frame, cut off by the end of the file
                              (not counted as lost) */
  uint64_t bytesMetadata;  /* ID3 tags in front of (version 2) and behind (version 1) the stream */
  int32_t verdict;         /* ZBAAC_VERDICT_* */
  int32_t errorNumber;     /* errno when the file could not be opened or read, else 0 */
  uint32_t lostPerMille;   /* (bytesSkipped + bytesUnread) over the input without its tags,
                              in thousandths (0 .. 1000) */
  uint32_t form;           /* ZBAAC_FORM_* */
} AacDecodeReport;

/* Reports on the stream opened last: fills the first reportBytes bytes of *report (at most
   sizeof(AacDecodeReport); a record of an older, shorter layout gets the fields it has) and
   returns the verdict. report may be null when only the verdict is wanted. Valid from
   Open on, final once Decode has returned 0, kept by Close until the next Open. Before any
   Open: ZBAAC_VERDICT_RUNNING and zeros. */
ZBAACLIB_EXPORT int32_t AACDecoder_Report(AacDecodeReport* report, uint32_t reportBytes);

/* How the length of AACDecoder_Length was found. */
#define ZBAAC_LENGTH_UNKNOWN 0   /* nothing is open */
#define ZBAAC_LENGTH_EXACT 1     /* ADTS: the blocks its frame headers announce; or a raw or
                                    ADIF stream that ended within the blocks measured */
#define ZBAAC_LENGTH_ESTIMATE 2  /* raw and ADIF: the stream's size over the mean bits per
                                    block of its first 64 blocks */

/* The length of the stream opened last in blocks of 1024 sample periods, in *blocks (may
   be null), and how it was found (ZBAAC_LENGTH_*). Leaves the decoding position alone. An
   ADTS stream's frame headers are read once, in a pass over the file; a raw or ADIF
   stream's first blocks are decoded by a second decoder. */
ZBAACLIB_EXPORT int32_t AACDecoder_Length(uint64_t* blocks);

/* Makes the next Decode give block `block` of the stream opened last (0 the first; a
   block lasts 1024 sample periods) and returns that block, or the stream's length when
   `block` lies beyond its end (Decode then returns 0). An ADTS stream goes to the frame
   that holds the block by its frame headers and decodes the frame before it unheard, so
   that the first block given is whole; raw and ADIF streams decode forward to it, from
   their start again when it lies behind. Returns -1 when nothing is open or after an
   error. Same thread rules as Decode. */
ZBAACLIB_EXPORT int64_t AACDecoder_Seek(uint64_t block);

/* The encoder delay and padding the stream opened last states, in an "iTunSMPB" text
   (a COMM or TXXX frame of an ID3v2.3/2.4 tag in front of it; ADTS and ADIF have no field
   of their own): the sample periods to drop from the start of what Decode gives in
   *delayFrames, and how many sample periods of audio follow them in *validFrames (the rest
   is padding). Returns 1 when the stream states them; 0 (both set to 0) when it does not,
   and the output is then taken as it decodes. Either pointer may be null. */
ZBAACLIB_EXPORT int32_t AACDecoder_EncoderGap(uint32_t* delayFrames, uint64_t* validFrames);

/* Pointer types for callers that look the entries up by name at run time. */
typedef int32_t (*AACDecoder_OpenFn)(AacStreamInfo*, const char*);
typedef int32_t (*AACDecoder_DecodeFn)(int16_t*);
typedef int32_t (*AACDecoder_CloseFn)(void);
typedef int32_t (*AACDecoder_VersionFn)(AacVersionInfo*);
typedef int32_t (*AACDecoder_ReportFn)(AacDecodeReport*, uint32_t);
typedef int32_t (*AACDecoder_LengthFn)(uint64_t*);
typedef int64_t (*AACDecoder_SeekFn)(uint64_t);
typedef int32_t (*AACDecoder_EncoderGapFn)(uint32_t*, uint64_t*);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZIMBAR_AACLIB_ZBAACLIB_H */

/* The CD reader library: reads one track of a drive or disc image into an open file. */
#ifndef ZIMBAR_ZBNTREAD_H
#define ZIMBAR_ZBNTREAD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One message of the ring. */
typedef struct ReaderMessage {
  uint8_t type;      /* a READER_MSG_ value */
  uint8_t padding[3];
  int32_t value;     /* progress, correction count, drive error code, sector ... */
  int32_t extra;     /* a sector address where one applies */
} ReaderMessage;

enum {
  READER_MSG_INIT_ERROR = 1,          /* error "Cannot initialize CD Devices." */
  READER_MSG_READ_ERROR = 2,          /* error "CD-ROM read error." (value: first bad sector) */
  READER_MSG_WRITE_ERROR = 3,         /* error "Cannot write to file." */
  READER_MSG_MEMORY_ERROR = 4,        /* error "Not enough memory." */
  READER_MSG_SUSPICIOUS_END = 5,      /* warning "Suspicious position at track end." */
  READER_MSG_CORRECTIONS = 6,         /* warning "Made %i corrections." */
  READER_MSG_DRIVE_ERROR = 7,         /* warning "CD Drive Error %i." */
  READER_MSG_SUSPICIOUS_START = 8,    /* warning "Suspicious start of track." */
  READER_MSG_SYNC_ERROR = 9,          /* warning "Sync Error." */
  READER_MSG_FINDING_START = 11,      /* status "Finding start of track" */
  READER_MSG_PROGRESS = 12,           /* value: hundredths of a percent, 0 ... 10000 */
  READER_MSG_OUTSIDE_DISC = 13        /* note: value samples (frames) of the track lie before the
                                         disc's first or after its last readable sample and
                                         were written as silence; extra: 0 before, 1 after */
};

#define READER_RING_ENTRIES 128

/* The block shared by the caller and the library for one track, 1624 bytes. "in" fields
   are set by the caller before XWI; the caller rewrites cancel and readIndex while the
   work runs, the library writes the "out" fields. Fields written by one side while the
   other reads them are accessed as whole aligned 32-bit values with atomic operations.
   The ring: the library fills ring[writeIndex] and then advances writeIndex modulo 128;
   the caller consumes from readIndex up to writeIndex. The library never overtakes the
   caller: with the ring full it waits. */
typedef struct ReaderRequest {
  int32_t file;                 /* in: file descriptor, positioned behind the WAV header */
  int32_t normalize;            /* in: 1: report the sample peaks */
  int32_t osInterface;          /* in: 1 OS CD interface, 0 SCSI pass-through */
  int32_t readMode;             /* in: 0 ... 4, the read command under SCSI pass-through */
  int32_t drive;                /* in: index in the shared drive list */
  int32_t firstSector;          /* in: first sector of the track */
  int32_t endSector;            /* in: first sector after the track */
  int32_t mono;                 /* in: 1: write one channel, (left + right) / 2 rounded down */
  int32_t halfRate;             /* in: 1: write 22 050 Hz (low-pass filtered, then halved) */
  int32_t sectorsPerRead;       /* in: sectors in one read request, 1 ... 255 */
  int32_t jitterOff;            /* in: 1: no jitter correction */
  int32_t overlapPercent;       /* in: overlap of consecutive reads, 10 ... 80 */
  int32_t syncNoMatchRetries;   /* in: re-reads when no alignment is found */
  int32_t syncMisalignRetries;  /* in: re-reads when a read came misaligned */
  int32_t cancel;               /* in, updated: nonzero stops the work */
  int32_t done;                 /* out: nonzero once the work has ended */
  int32_t audioBytes;           /* out: bytes written behind the header */
  int32_t reserved68;
  int16_t lowest;               /* out: lowest sample written */
  int16_t reserved74;
  int16_t highest;              /* out: highest sample written */
  int16_t reserved78;
  ReaderMessage ring[READER_RING_ENTRIES];
  int32_t writeIndex;           /* out: next ring entry the library fills */
  int32_t readIndex;            /* in: next ring entry the caller consumes */
} ReaderRequest;

#ifdef __cplusplus
#define ZBNTREAD_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define ZBNTREAD_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
ZBNTREAD_STATIC_ASSERT(sizeof(ReaderMessage) == 12, "ring entry is 12 bytes");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, cancel) == 56, "cancel at 56");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, done) == 60, "done at 60");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, audioBytes) == 64, "audio bytes at 64");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, lowest) == 72, "lowest sample at 72");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, highest) == 76, "highest sample at 76");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, ring) == 80, "ring at 80");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, writeIndex) == 1616, "write index at 1616");
ZBNTREAD_STATIC_ASSERT(offsetof(ReaderRequest, readIndex) == 1620, "read index at 1620");
ZBNTREAD_STATIC_ASSERT(sizeof(ReaderRequest) == 1624, "block is 1624 bytes");

/* Starts reading the track described by *request and returns at once; the block must stay
   valid until done is nonzero. A call made while a previous track is still being read
   waits for that work to end first, also when it comes from another thread. Returns 0
   when the work was started, -1 for a null request (nothing started, done is not
   touched). The disc images listed after the real drives are those of the environment
   variable ZIMBAR_CD_IMAGES (one path a line), for callers that name them there. */
int32_t XWI(ReaderRequest* request);

/* XWI with the disc images listed after the real drives given by the caller: `imageCount`
   paths at `imagePaths`, in drive order (none when imageCount is 0), copied before the
   call returns; ZIMBAR_CD_IMAGES is not looked at. A negative count or missing paths
   start nothing: the block gets an initialization error and done, and the result is -1. */
int32_t XWIWithImages(ReaderRequest* request, const char* const* imagePaths, int32_t imageCount);

/* What XWIWithOptions adds to the block. */
typedef struct ReaderOptions {
  const char* const* imagePaths;  /* the disc images after the real drives, as XWIWithImages */
  int32_t imageCount;
  /* The drive's read offset in samples (stereo frames): sample k of the track is read at
     disc sample firstSector x 588 + k + readOffset. Samples before the disc's first or at
     and after its lead-out read as silence (one READER_MSG_OUTSIDE_DISC each side). */
  int32_t readOffset;
  /* Called on the library's thread with the track's audio in order, as read and corrected,
     before any conversion to mono or 22 050 Hz: `count` stereo frames, left sample in the
     low half. May be null. Runs before the same frames are written to the file. */
  void (*audio)(void* user, const uint32_t* frames, int32_t count);
  void* audioUser;
} ReaderOptions;

/* XWIWithImages with the options above; a null `options` is XWIWithImages with no images.
   The options block itself need not stay valid after the call returns; `audioUser` must
   until done is nonzero. */
int32_t XWIWithOptions(ReaderRequest* request, const ReaderOptions* options);

#ifdef __cplusplus
}
#endif

#endif

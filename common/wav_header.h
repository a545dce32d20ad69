// The RIFF/WAVE header: one writer and one reader (on an open file or on a path).
#pragma once

#include <cstdint>

// Format codes of the fmt chunk (and of the start of an extensible chunk's SubFormat).
inline constexpr uint16_t kWavFormatPcm = 1;
inline constexpr uint16_t kWavFormatFloat = 3;
inline constexpr uint16_t kWavFormatExtensible = 0xFFFE;

// The reader's result record. The first four fields are the format as stored in the fmt
// chunk (header offsets 20, 22, 24 and 34 of a canonical file); dataOffset is the file
// offset of the first sample byte.
struct WavFormatInfo {
  uint16_t formatTag = 0;      // 1 = PCM, 3 = IEEE float, ... (not checked by the reader)
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  uint32_t dataOffset = 0;     // first byte behind the data chunk's id and size, at most
                               // the file size (a file cut inside that size field has no audio)
  uint64_t dataBytes = 0;      // the audio behind dataOffset: the data chunk's size (in an
                               // RF64 file the 64-bit one of its ds64 chunk); everything up
                               // to the end of the file when that size is 0 or 0xFFFFFFFF (a
                               // header never rewritten) or claims more than the file holds
  uint16_t sampleFormat = 0;   // how the samples are coded: formatTag, except that an
                               // extensible fmt chunk (0xFFFE) gives the code at the start
                               // of its SubFormat GUID (1 PCM, 3 IEEE float), and 0 when
                               // its chunk is too short to hold one
};

// Result codes of WriteWavHeader.
inline constexpr int kWavWriteOk = 0;
inline constexpr int kWavWriteSeekFailed = -1;    // the move to offset 0 failed
inline constexpr int kWavWriteFirstFailed = -2;   // the first 8 bytes could not be written
inline constexpr int kWavWriteSecondFailed = -3;  // the other 36 bytes could not be written

// Result codes of ReadWavHeader and ReadWavHeaderFromPath.
inline constexpr int kWavReadOk = 0;
inline constexpr int kWavReadOpenFailed = -1;   // fd: the move to offset 0 failed; path: cannot open
inline constexpr int kWavReadNoStart = -2;      // the first 8 bytes could not be read
inline constexpr int kWavReadNotRiff = -3;      // bytes 0-3 are neither "RIFF" nor "RF64"
inline constexpr int kWavReadNoFormat = -4;     // bytes 8-35 could not be read
inline constexpr int kWavReadNotWave = -5;      // bytes 8-11 are not "WAVE"
inline constexpr int kWavReadNoFmtChunk = -6;   // bytes 12-15 are not "fmt " (nor a JUNK or
                                                // ds64 chunk followed by "fmt ")
inline constexpr int kWavReadNoData = -7;       // no "data" id within the 1024 bytes behind
                                                // the fmt chunk's first 24 bytes

// The size of the header WriteWavHeader writes.
inline constexpr int kWavHeaderBytes = 44;
// The size of the header WriteWavHeader64 writes: the canonical one with a 36-byte chunk
// after "WAVE" that holds the 64-bit sizes once the data outgrows the 32-bit fields.
inline constexpr int kWavHeader64Bytes = 80;

// Files are POSIX file descriptors (open(2)). When a FILE* is used for the samples, call
// fflush() before and fseek() after these functions.
//
// Writes the canonical 44-byte header of 16-bit PCM (1 channel when mono, else 2) at
// offset 0 in two writes (8 bytes, then 36) and leaves the file at offset 44. A write that
// stores fewer bytes than asked (full disk) is retried for the rest and reported as a
// failure when it cannot complete. The RIFF size saturates at 0xFFFFFFFF when
// dataBytes + 36 does not fit in 32 bits. Call once before the samples with the expected
// size (or 0) and again with the final size.
int WriteWavHeader(int fd, bool mono, uint32_t sampleRate, uint32_t dataBytes);

// As WriteWavHeader, for files that may outgrow 4 GiB (decoded audio of unknown length):
// an 80-byte header whose chunk after "WAVE" is a JUNK chunk of 28 zero bytes while the
// sizes fit the 32-bit fields, which makes a plain RIFF file. When dataBytes + 72 does not
// fit, the file becomes RF64 (EBU Tech 3306): "RF64", the chunk becomes "ds64" with the
// 64-bit RIFF size, data size and sample frame count, and the RIFF and data size fields
// read 0xFFFFFFFF. Same results as WriteWavHeader; leaves the file at offset 80.
int WriteWavHeader64(int fd, bool mono, uint32_t sampleRate, uint64_t dataBytes);

// Reads the header of an open, readable, seekable file. On success fills info and leaves
// the file at the first sample byte. Only a failing read call gives -2 or -4; a short file
// fails the following id checks instead. The "data" id is searched byte by byte in the
// (up to) 1024 bytes behind offset 36, so chunks such as LIST before the data are skipped.
// RF64 files are read too, and a JUNK or ds64 chunk between "WAVE" and "fmt " is stepped
// over (the fmt chunk and the scan then start that much later).
int ReadWavHeader(int fd, WavFormatInfo& info);

// As ReadWavHeader on a file opened by path and closed again in every case; here the
// first 8 and the next 28 bytes must be read whole (-2, -4 otherwise).
int ReadWavHeaderFromPath(const char* path, WavFormatInfo& info);

// An English description of a reader result code, for log lines and messages.
const char* WavReadResultText(int code);

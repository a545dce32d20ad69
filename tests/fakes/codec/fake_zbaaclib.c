/* Fake AAC decoder library: gives a fixed number of blocks of a known sample pattern
 * (slot i of block b holds (b * 7 + i) & 0x7fff), filling all 2048 slots as the real
 * library does.
 * FAKE_AAC_LOG       file that receives one line per Open and Close
 * FAKE_AAC_BLOCKS    blocks before Decode returns 0 (default 40)
 * FAKE_AAC_RATE      sample rate reported by Open (default 44100)
 * FAKE_AAC_MODE      channel mode reported by Open (default 0 = two channels)
 * FAKE_AAC_CRASH_OPEN nonzero: Open raises an access violation
 * FAKE_AAC_CRASH_AT  block number (1-based) whose Decode raises an access violation
 * FAKE_AAC_VERDICT   verdict Report gives once Decode has returned 0 (default OK)
 * FAKE_AAC_SKIPPED   frames Report says were skipped (with 370 bytes each; default 0)
 * FAKE_AAC_UNREAD    bytes Report says were left unread (default 0)
 * FAKE_AAC_PERMILLE  share lost that Report gives, in thousandths (default 0)
 * FAKE_AAC_ERRNO     errno that Report gives (default 0) */
#include <stdint.h>
#include <string.h>

#include "aaclib/zbaaclib.h"
#include "tests/fakes/codec/fake_env.h"

#define LOG(...) FakeLog("FAKE_AAC_LOG", __VA_ARGS__)

static long blocks;
static int ended;

int32_t AACDecoder_Open(AacStreamInfo* info, const char* path) {
  blocks = 0;
  ended = 0;
  LOG("open %s", path);
  if (FakeEnvInt("FAKE_AAC_CRASH_OPEN", 0) != 0) FakeCrash();
  info->sampleRate = (uint16_t)FakeEnvInt("FAKE_AAC_RATE", 44100);
  info->channelMode = (uint16_t)FakeEnvInt("FAKE_AAC_MODE", 0);
  info->bitRate = 128000;
  return 0;
}

int32_t AACDecoder_Decode(int16_t* out) {
  if (blocks >= FakeEnvInt("FAKE_AAC_BLOCKS", 40)) {
    ended = 1;
    return 0;
  }
  ++blocks;
  if (blocks == FakeEnvInt("FAKE_AAC_CRASH_AT", -1)) FakeCrash();
  for (int i = 0; i < ZBAAC_OUTPUT_SAMPLES; ++i) out[i] = (int16_t)((blocks * 7 + i) & 0x7fff);
  return 4096;
}

#ifndef FAKE_OMIT_ENTRY
int32_t AACDecoder_Close(void) {
  LOG("close %ld", blocks);
  return 0;
}
#endif

int32_t AACDecoder_Version(AacVersionInfo* info) {
  info->word0 = 0;
  info->word1 = 0;
  info->text[0] = '\0';
  return 0;
}

int32_t AACDecoder_Report(AacDecodeReport* report, uint32_t reportBytes) {
  AacDecodeReport filled = {0};
  filled.blocksDecoded = (uint64_t)blocks;
  filled.framesSkipped = (uint64_t)FakeEnvInt("FAKE_AAC_SKIPPED", 0);
  filled.bytesSkipped = filled.framesSkipped * 370;
  filled.bytesUnread = (uint64_t)FakeEnvInt("FAKE_AAC_UNREAD", 0);
  filled.lostPerMille = (uint32_t)FakeEnvInt("FAKE_AAC_PERMILLE", 0);
  filled.errorNumber = (int32_t)FakeEnvInt("FAKE_AAC_ERRNO", 0);
  filled.verdict = ended ? (int32_t)FakeEnvInt("FAKE_AAC_VERDICT", ZBAAC_VERDICT_OK) : ZBAAC_VERDICT_RUNNING;
  if (report != NULL) memcpy(report, &filled, reportBytes < sizeof filled ? reportBytes : sizeof filled);
  return filled.verdict;
}

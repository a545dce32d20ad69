/* Fake AAC decoder library: gives a fixed number of blocks of a known sample pattern
 * (slot i of block b holds (b * 7 + i) & 0x7fff), filling all 2048 slots as the real
 * library does.
 * FAKE_AAC_LOG       file that receives one line per Open and Close
 * FAKE_AAC_BLOCKS    blocks before Decode returns 0 (default 40)
 * FAKE_AAC_RATE      sample rate reported by Open (default 44100)
 * FAKE_AAC_MODE      channel mode reported by Open (default 0 = two channels)
 * FAKE_AAC_CRASH_OPEN nonzero: Open raises an access violation
 * FAKE_AAC_CRASH_AT  block number (1-based) whose Decode raises an access violation */
#include <stdint.h>

#include "aaclib/zbaaclib.h"
#include "tests/fakes/codec/fake_env.h"

#define LOG(...) FakeLog("FAKE_AAC_LOG", __VA_ARGS__)

static long blocks;

int32_t AACDecoder_Open(AacStreamInfo* info, const char* path) {
  blocks = 0;
  LOG("open %s", path);
  if (FakeEnvInt("FAKE_AAC_CRASH_OPEN", 0) != 0) FakeCrash();
  info->sampleRate = (uint16_t)FakeEnvInt("FAKE_AAC_RATE", 44100);
  info->channelMode = (uint16_t)FakeEnvInt("FAKE_AAC_MODE", 0);
  info->bitRate = 128000;
  return 0;
}

int32_t AACDecoder_Decode(int16_t* out) {
  if (blocks >= FakeEnvInt("FAKE_AAC_BLOCKS", 40)) return 0;
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

/* Fake AAC encoder library: a block "FRM" plus the sample count's low byte per frame call,
 * "TAIL" at finish, the header "HEADER!" at free.
 * FAKE_FAAC_LOG       file that receives one line per call (init lists the 12 fields)
 * FAKE_FAAC_INIT_FAIL nonzero: faacEncodeInit returns NULL
 * FAKE_FAAC_CRASH_AT  frame call number that raises an access violation
 * FAKE_FAAC_FREE      result of faacEncodeFree (default 0)
 * FAKE_FAAC_CLAIM     nonzero: every frame call claims that many output bytes (more than
 *                     its 64-byte buffer holds, as a broken encoder would) */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "outside/faac/faac_api.h"
#include "tests/fakes/codec/fake_env.h"

#define LOG(...) FakeLog("FAKE_FAAC_LOG", __VA_ARGS__)

struct FaacEncoder {
  long frames;
  int32_t channels;
};

static const char kHeader[] = "HEADER!";

FAAC_EXPORT FaacEncodeHandle faacEncodeInit(const FaacEncodeConfig* c, int32_t* samplesPerFrame,
                                            int32_t* outputBufferBytes, int32_t* headerBytes) {
  LOG("init %d %d %d %d %d %d %d %d %d %d %d %d", c->channels, c->inputRate, c->outputRate, c->bitRate,
      c->cutoffHz, c->useLfe, c->outputFormat, c->jointStereo, c->usePns, c->useTns, c->useLtp,
      c->useIntensityStereo);
  if (FakeEnvInt("FAKE_FAAC_INIT_FAIL", 0) != 0) return NULL;
  FaacEncodeHandle handle = calloc(1, sizeof *handle);
  handle->channels = c->channels;
  *samplesPerFrame = 1024 * c->channels;
  *outputBufferBytes = 64;
  *headerBytes = (int32_t)strlen(kHeader);
  return handle;
}

FAAC_EXPORT int32_t faacEncodeFrame(FaacEncodeHandle handle, const int16_t* pcm, int32_t pcmSamples,
                                    uint8_t* output, int32_t* outputBytes) {
  (void)pcm;
  ++handle->frames;
  LOG("frame %d", pcmSamples);
  if (handle->frames == FakeEnvInt("FAKE_FAAC_CRASH_AT", -1)) FakeCrash();
  *outputBytes = 0;
  if (pcmSamples > 0) {
    memcpy(output, "FRM", 3);
    output[3] = (uint8_t)(pcmSamples & 0xff);
    *outputBytes = 4;
  }
  if (FakeEnvInt("FAKE_FAAC_CLAIM", 0) != 0) *outputBytes = (int32_t)FakeEnvInt("FAKE_FAAC_CLAIM", 0);
  return FAAC_OK;
}

#ifndef FAKE_OMIT_ENTRY
FAAC_EXPORT int32_t faacEncodeFinish(FaacEncodeHandle handle, uint8_t* output, int32_t* outputBytes) {
  (void)handle;
  LOG("finish");
  memcpy(output, "TAIL", 4);
  *outputBytes = 4;
  return FAAC_OK;
}
#endif

FAAC_EXPORT int32_t faacEncodeFree(FaacEncodeHandle handle, uint8_t* output) {
  LOG("free");
  free(handle);
  if (output != NULL) memcpy(output, kHeader, strlen(kHeader));
  return (int32_t)FakeEnvInt("FAKE_FAAC_FREE", 0);
}

/* Fake MPEG audio decoder library: answers "no frame yet" a few times, then gives frames
 * of 1152 periods with a known pattern (sample i of frame f = (f * 13 + i) & 0x7fff), then
 * ends.
 * FAKE_ZBD_LOG        file that receives one line per call other than decoder_decode
 * FAKE_ZBD_FRAMES     frames before the end (default 30)
 * FAKE_ZBD_LEADING    "no frame yet" answers before the first frame (default 2)
 * FAKE_ZBD_SKIP_AT    frame number before which one "frame skipped" answer comes
 * FAKE_ZBD_MONO       nonzero: one channel
 * FAKE_ZBD_RATE       sample rate (default 44100)
 * FAKE_ZBD_INPUT_NEW  result of decoder_input_new (default 0)
 * FAKE_ZBD_OPEN       result of decoder_input_open (default 0)
 * FAKE_ZBD_END        the result that ends the stream (default -10) */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "outside/zbdecode/zbdecode_api.h"
#include "tests/fakes/codec/fake_env.h"

#define LOG(...) FakeLog("FAKE_ZBD_LOG", __VA_ARGS__)
#define PERIODS 1152

struct Fake {
  ZbdDecoder decoder;
  ZbdInputStatus input;
  ZbdStreamInfo info;
  ZbdOutputBuffer output;
  int16_t pcm[PERIODS * 2];
  long calls;
  long frames;
  int skipped;
};

int32_t decoder_new(ZbdDecoder** decoder) {
  LOG("new");
  struct Fake* fake = calloc(1, sizeof *fake);
  fake->decoder.structBytes = sizeof(ZbdDecoder);
  fake->decoder.inputStatus = &fake->input;
  fake->decoder.streamInfo = &fake->info;
  fake->decoder.outputBuffer = &fake->output;
  fake->output.pcm = fake->pcm;
  fake->output.capacityBytes = sizeof fake->pcm;
  *decoder = &fake->decoder;
  return ZBD_OK;
}

#ifndef FAKE_OMIT_ENTRY
int32_t decoder_delete(ZbdDecoder* decoder) {
  LOG("delete");
  free(decoder);
  return ZBD_OK;
}
#endif

int32_t decoder_input_module_register(ZbdDecoder* decoder, const ZbdInputModule* module) {
  (void)decoder;
  LOG("register %s", module->name != NULL ? module->name : "-");
  return 0;
}

int32_t decoder_input_new(ZbdDecoder* decoder, const char* name, int32_t moduleId) {
  (void)decoder;
  LOG("input_new %s %d", name, moduleId);
  return (int32_t)FakeEnvInt("FAKE_ZBD_INPUT_NEW", 0);
}

int32_t decoder_input_open(ZbdDecoder* decoder) {
  LOG("input_open");
  struct Fake* fake = (struct Fake*)decoder;
  fake->input.size = (uint32_t)FakeEnvInt("FAKE_ZBD_FRAMES", 30) * 417u;
  return (int32_t)FakeEnvInt("FAKE_ZBD_OPEN", 0);
}

int32_t decoder_decode(ZbdDecoder* decoder, void* reserved) {
  (void)reserved;
  struct Fake* fake = (struct Fake*)decoder;
  ++fake->calls;
  if (fake->calls <= FakeEnvInt("FAKE_ZBD_LEADING", 2)) return ZBD_NO_FRAME_YET;
  if (fake->frames >= FakeEnvInt("FAKE_ZBD_FRAMES", 30)) return (int32_t)FakeEnvInt("FAKE_ZBD_END", ZBD_END_OF_INPUT);
  if (!fake->skipped && fake->frames + 1 == FakeEnvInt("FAKE_ZBD_SKIP_AT", -1)) {
    fake->skipped = 1;
    return ZBD_FRAME_SKIPPED;
  }
  ++fake->frames;
  const int stereo = FakeEnvInt("FAKE_ZBD_MONO", 0) == 0;
  const int samples = PERIODS * (stereo ? 2 : 1);
  for (int i = 0; i < samples; ++i) fake->pcm[i] = (int16_t)((fake->frames * 13 + i) & 0x7fff);
  fake->output.bytes = (uint32_t)samples * 2u;
  fake->output.bytesPerSample = 2;
  fake->output.stereo = (uint32_t)stereo;
  fake->output.sampleRate = (uint32_t)FakeEnvInt("FAKE_ZBD_RATE", 44100);
  fake->input.position = (uint32_t)fake->frames * 417u;
  return ZBD_OK;
}

int32_t file_input_module_register(ZbdInputModule* module) {
  LOG("file_module");
  memset(module, 0, sizeof *module);
  module->structBytes = sizeof *module;
  module->name = "file";
  return ZBD_OK;
}

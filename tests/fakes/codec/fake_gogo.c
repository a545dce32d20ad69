/* Fake MP3 encoder library: records every call, encodes nothing.
 * FAKE_GOGO_LOG       file that receives one line per call
 * FAKE_GOGO_FRAMES    frames the "input" gives (default 40)
 * FAKE_GOGO_INIT      result of MPGE_initializeWork (default 0)
 * FAKE_GOGO_DETECT    result of MPGE_detectConfigure (default 0)
 * FAKE_GOGO_FAIL_AT   frame number whose MPGE_processFrame returns -8
 * FAKE_GOGO_CRASH_AT  frame number whose MPGE_processFrame raises an access violation
 * FAKE_GOGO_END       result of MPGE_endCoder (default 0) */
#include <stdint.h>

#include "outside/gogo/gogo_api.h"
#include "tests/fakes/codec/fake_env.h"

#define LOG(...) FakeLog("FAKE_GOGO_LOG", __VA_ARGS__)

static long framesDone;

GOGO_EXPORT int32_t MPGE_initializeWork(void) {
  framesDone = 0;
  LOG("init");
  return (int32_t)FakeEnvInt("FAKE_GOGO_INIT", 0);
}

GOGO_EXPORT int32_t MPGE_setConfigure(uint32_t item, uint32_t value, const char* text) {
  LOG("set %u %u %s", item, value, text != NULL ? text : "-");
  return 0;
}

GOGO_EXPORT int32_t MPGE_getConfigure(uint32_t item, void* value) {
  LOG("get %u", item);
  if (item == GOGO_ITEM_FRAME_COUNT) *(int32_t*)value = (int32_t)FakeEnvInt("FAKE_GOGO_FRAMES", 40);
  return 0;
}

GOGO_EXPORT int32_t MPGE_detectConfigure(void) {
  LOG("detect");
  return (int32_t)FakeEnvInt("FAKE_GOGO_DETECT", 0);
}

GOGO_EXPORT int32_t MPGE_processFrame(void) {
  if (framesDone >= FakeEnvInt("FAKE_GOGO_FRAMES", 40)) return GOGO_END_OF_INPUT;
  ++framesDone;
  if (framesDone == FakeEnvInt("FAKE_GOGO_CRASH_AT", -1)) FakeCrash();
  if (framesDone == FakeEnvInt("FAKE_GOGO_FAIL_AT", -1)) return GOGO_ERR_ENCODER;
  return 0;
}

#ifndef FAKE_OMIT_ENTRY
GOGO_EXPORT int32_t MPGE_endCoder(void) {
  LOG("end %ld", framesDone);
  return (int32_t)FakeEnvInt("FAKE_GOGO_END", 0);
}
#endif

GOGO_EXPORT int32_t MPGE_closeCoder(void) {
  LOG("close");
  return 0;
}

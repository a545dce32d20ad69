// libzbdsound.so: the DirectSound output module of the decoder library's player. It owns
// the output names "/dev/dsound/N" and plays them through the desktop's sound server
// (the audio seam's pulse output).
#include "outside/zbdecode/zbdecode_player.h"

extern "C" __attribute__((visibility("default"))) int32_t dsound_output_module_register(ZbdOutputModule* module) {
  if (module == nullptr || module->structBytes < sizeof(ZbdOutputModule)) return ZBD_ERR_ARGUMENT;
  module->name = "dsound";
  module->description = "DirectSound output (the desktop's sound server)";
  module->devicePrefix = "/dev/dsound/";
  module->audioBackend = "pulse";
  return ZBD_OK;
}

// The process-wide player volume.
#include "common/audio/output_volume.h"

OutputVolume& PlayerVolume() {
  static OutputVolume volume;
  return volume;
}

// The single-instance socket's path.
#include "player/control/instance_name.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "common/paths.h"

std::string InstanceSocketPath() {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : UserFolder()) hash = (hash ^ c) * 16777619u;
  char suffix[64];
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/' && DirectoryExists(runtime)) {
    std::snprintf(suffix, sizeof suffix, "/zimbar-%s-%08x", kInstanceMutexName, hash);
    return std::string(runtime) + suffix;
  }
  std::snprintf(suffix, sizeof suffix, "/tmp/zimbar-%s-%u-%08x", kInstanceMutexName, unsigned(::getuid()), hash);
  return suffix;
}

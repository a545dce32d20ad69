// RunM4aEncoder, RunM4aDecoder: the M4A module loaded on first use from the program's folder.
#include <dlfcn.h>

#include <string>

#include "common/library_loader.h"
#include "maker/codec/m4a_module.h"

namespace {

struct M4aModule {
  M4aEncodeEntry encode = nullptr;
  M4aDecodeEntry decode = nullptr;
  std::string error;  // why the entries are missing
};

// Loaded once for the process (a static's initialization is thread-safe); never unloaded,
// since jobs on other threads may be inside it.
const M4aModule& Module() {
  static const M4aModule module = [] {
    M4aModule loaded;
    const std::string path = ProgramFolder() + kM4aModule;
    std::string reason;
    void* handle = LoadForGood(path, reason);
    if (handle == nullptr) {
      loaded.error = "cannot load " + path;
      loaded.error += ": ";
      loaded.error += reason;
      return loaded;
    }
    loaded.encode = reinterpret_cast<M4aEncodeEntry>(::dlsym(handle, kM4aEncodeEntry));
    loaded.decode = reinterpret_cast<M4aDecodeEntry>(::dlsym(handle, kM4aDecodeEntry));
    if (loaded.encode == nullptr || loaded.decode == nullptr) loaded.error = path + " lacks the M4A entries";
    return loaded;
  }();
  return module;
}

}  // namespace

void RunM4aEncoder(const std::string& inputPath, const std::string& outputPath, const M4aEncodeOptions& options,
                   void* record, CodecStatusCallback callback) {
  const M4aModule& module = Module();
  if (module.encode == nullptr) {
    ReportCodecEvent(record, callback, CodecEvent::CodecFailed, 0, module.error.c_str());
    return;
  }
  module.encode(inputPath.c_str(), outputPath.c_str(), &options, record, callback);
}

void RunM4aDecoder(const std::string& inputPath, const std::string& outputPath, void* record,
                   CodecStatusCallback callback) {
  const M4aModule& module = Module();
  if (module.decode == nullptr) {
    ReportCodecEvent(record, callback, CodecEvent::CodecFailed, 0, module.error.c_str());
    return;
  }
  module.decode(inputPath.c_str(), outputPath.c_str(), record, callback);
}

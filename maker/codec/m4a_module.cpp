// libzbmakerm4a.so: the M4A adapters over libavformat and libavcodec, behind plain entries.
#include <new>
#include <type_traits>

#include "maker/codec/m4a_file_decoder.h"
#include "maker/codec/m4a_module.h"

namespace {

// The adapters report their failures as events; anything that still escapes them (memory
// for the path strings) becomes the final event here instead of crossing the entry.
template <typename Run>
void Guarded(void* record, CodecStatusCallback callback, Run run) {
  try {
    run();
  } catch (const std::bad_alloc&) {
    ReportCodecEvent(record, callback, CodecEvent::OutOfMemory);
  } catch (...) {
    ReportCodecEvent(record, callback, CodecEvent::CodecFailed, 0, "unexpected error in the M4A module");
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void zb_maker_m4a_encode(const char* inputPath,
                                                                        const char* outputPath,
                                                                        const M4aEncodeOptions* options, void* record,
                                                                        CodecStatusCallback callback) {
  static_assert(std::is_same_v<decltype(&zb_maker_m4a_encode), M4aEncodeEntry>);
  Guarded(record, callback, [&] { EncodeM4aFile(inputPath, outputPath, *options, record, callback); });
}

extern "C" __attribute__((visibility("default"))) void zb_maker_m4a_decode(const char* inputPath,
                                                                        const char* outputPath, void* record,
                                                                        CodecStatusCallback callback) {
  static_assert(std::is_same_v<decltype(&zb_maker_m4a_decode), M4aDecodeEntry>);
  Guarded(record, callback, [&] { DecodeM4aFile(inputPath, outputPath, record, callback); });
}

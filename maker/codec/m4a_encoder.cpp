// EncodeM4aFile: not built yet.
#include "maker/codec/m4a_encoder.h"

void EncodeM4aFile(const std::string&, const std::string&, const M4aEncodeOptions&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

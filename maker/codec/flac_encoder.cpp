// EncodeFlacFile: not built yet.
#include "maker/codec/flac_encoder.h"

void EncodeFlacFile(const std::string&, const std::string&, const FlacEncodeOptions&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

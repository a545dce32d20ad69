// DecodeM4aFile: not built yet.
#include "maker/codec/m4a_file_decoder.h"

void DecodeM4aFile(const std::string&, const std::string&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

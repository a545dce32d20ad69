// DecodeFlacFile: not built yet.
#include "maker/codec/flac_file_decoder.h"

void DecodeFlacFile(const std::string&, const std::string&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

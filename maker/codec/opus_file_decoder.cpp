// DecodeOpusFile: not built yet.
#include "maker/codec/opus_file_decoder.h"

void DecodeOpusFile(const std::string&, const std::string&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

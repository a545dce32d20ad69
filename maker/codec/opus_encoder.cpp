// EncodeOpusFile: not built yet.
#include "maker/codec/opus_encoder.h"

void EncodeOpusFile(const std::string&, const std::string&, const OpusEncodeOptions&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

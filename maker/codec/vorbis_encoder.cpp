// EncodeVorbisFile: not built yet.
#include "maker/codec/vorbis_encoder.h"

void EncodeVorbisFile(const std::string&, const std::string&, const VorbisEncodeOptions&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

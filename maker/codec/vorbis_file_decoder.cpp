// DecodeVorbisFile: not built yet.
#include "maker/codec/vorbis_file_decoder.h"

void DecodeVorbisFile(const std::string&, const std::string&, void* record, CodecStatusCallback callback) {
  ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
}

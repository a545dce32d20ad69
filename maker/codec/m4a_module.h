// The M4A adapters live in a module of their own, libzbmakerm4a.so beside the program,
// because libavformat and libavcodec cost more to load than a whole MP3 decode takes:
// the module is loaded the first time an M4A job runs, so that runs of the other formats
// never load those libraries.
#pragma once

#include <string>

#include "maker/codec/codec_event.h"
#include "maker/codec/m4a_encoder.h"

// EncodeM4aFile and DecodeM4aFile of the module, with their events. A module that cannot
// be loaded is the run's one final event: kind 11 with the module's path and the loader's
// reason. Any thread may call them; the module is loaded once and stays loaded.
void RunM4aEncoder(const std::string& inputPath, const std::string& outputPath, const M4aEncodeOptions& options,
                   void* record, CodecStatusCallback callback);
void RunM4aDecoder(const std::string& inputPath, const std::string& outputPath, void* record,
                   CodecStatusCallback callback);

// The module's file and its plain entries (what RunM4aEncoder and RunM4aDecoder call).
inline constexpr const char* kM4aModule = "libzbmakerm4a.so";
inline constexpr const char* kM4aEncodeEntry = "zb_maker_m4a_encode";
using M4aEncodeEntry = void (*)(const char* inputPath, const char* outputPath, const M4aEncodeOptions* options,
                                void* record, CodecStatusCallback callback);
inline constexpr const char* kM4aDecodeEntry = "zb_maker_m4a_decode";
using M4aDecodeEntry = void (*)(const char* inputPath, const char* outputPath, void* record,
                                CodecStatusCallback callback);

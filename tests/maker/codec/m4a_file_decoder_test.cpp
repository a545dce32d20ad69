// DecodeM4aFile against ffmpeg's decoding of the same files.
#include "maker/codec/m4a_file_decoder.h"

#include <gtest/gtest.h>

#include "tests/maker/codec/codec_test_support.h"
#include "tests/maker/codec/m4a_test_media.h"

using namespace m4a_test;

// The table of contents of a real drive through libcdio's ordinary calls, driven here by
// libcdio's own reader of .cue images, which answers those calls as a drive would.
#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <gtest/gtest.h>

#include <fstream>

#include "cdaccess/cd_source_internal.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

// Catches: an enhanced CD's data track read as audio from a drive's table of contents (its
// checksums would be looked up as music, and its disc ids would miss the data track's
// effect on the lead-out), or a flag given to the lead-out.
TEST(CdSourceOs, TableOfContentsMarksDataTracks) {
  const testcd::TempDir dir;
  testcd::WriteAudioFile(dir.File("disc.bin"), testcd::Noise(300, 5), testcd::AudioFileKind::RawLittleEndian);
  std::ofstream(dir.File("disc.cue")) << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                         "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n"
                                         "  TRACK 03 MODE1/2352\n    INDEX 01 00:03:00\n";
  // libcdio warns about the short pregaps of the sheet while it opens it.
  const cdio_log_level_t level = cdio_loglevel_default;
  cdio_loglevel_default = CDIO_LOG_ERROR;
  CdioHandle cdio(cdio_open(dir.File("disc.cue").c_str(), DRIVER_BINCUE));
  cdio_loglevel_default = level;
  ASSERT_TRUE(cdio);
  const auto toc = ReadTocThroughCdio(cdio.get());
  ASSERT_TRUE(toc) << toc.Error().text;
  ASSERT_EQ(toc.Value().starts.size(), 4u);
  EXPECT_EQ(toc.Value().dataTracks, (std::vector<uint8_t>{0, 0, 1}));
  // A drive's table of contents tells no pregaps.
  EXPECT_TRUE(toc.Value().pregapStarts.empty());
}

}  // namespace

// Telling formats apart by content: signatures built byte by byte, and real files made by
// ffmpeg (skipped where it is missing).
#include "common/tags/audio_file_format.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/common/tags/reference_tools.h"
#include "tests/common/temp_dir.h"

namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

AudioFileFormat Sniff(std::string_view text) { return SniffAudioFormat(Bytes(text)); }

// An Ogg page header of one segment holding `packet`.
std::string OggPage(std::string_view packet) {
  std::string page = "OggS";
  page += std::string(22, '\0');
  page += '\x01';                             // one segment
  page += static_cast<char>(packet.size());  // its length
  page += packet;
  return page;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool HaveFfmpeg() { return reference_tools::Run("ffmpeg -version").rfind("ffmpeg version", 0) == 0; }

}  // namespace

TEST(AudioFileFormat, SignaturesDecideAndShortOrForeignHeadsAreUnknown) {
  EXPECT_EQ(Sniff(std::string("RIFF\x24\0\0\0WAVEfmt ", 16)), AudioFileFormat::Wav);
  EXPECT_EQ(Sniff(std::string("RF64\xff\xff\xff\xffWAVEds64", 16)), AudioFileFormat::Wav);
  EXPECT_EQ(Sniff("RIFF\x24\0\0\0AVI "), AudioFileFormat::Unknown);
  EXPECT_EQ(Sniff("fLaC\0\0\0\x22"), AudioFileFormat::Flac);
  EXPECT_EQ(Sniff(OggPage("\x01vorbis\0\0\0\0")), AudioFileFormat::OggVorbis);
  EXPECT_EQ(Sniff(OggPage("OpusHead\x01\x02")), AudioFileFormat::Opus);
  EXPECT_EQ(Sniff(OggPage("\x80theora")), AudioFileFormat::Unknown);  // video, not ours
  EXPECT_EQ(Sniff(std::string("\0\0\0\x20" "ftypM4A ", 12)), AudioFileFormat::M4a);
  EXPECT_EQ(Sniff("ADIF\0"), AudioFileFormat::Aac);
  EXPECT_EQ(Sniff("\xff\xf1\x50\x80"), AudioFileFormat::Aac);  // ADTS, MPEG-4, no CRC
  EXPECT_EQ(Sniff("\xff\xfb\x90\x64"), AudioFileFormat::Mp3);  // MPEG-1 layer III
  EXPECT_EQ(Sniff("ID3\x04\0\0\0\0\0\0"), AudioFileFormat::Mp3);
  EXPECT_EQ(Sniff(""), AudioFileFormat::Unknown);
  EXPECT_EQ(Sniff("Og"), AudioFileFormat::Unknown);
  EXPECT_EQ(Sniff("OggS\0\0"), AudioFileFormat::Unknown);  // a page header cut short
  EXPECT_EQ(Sniff("hello world"), AudioFileFormat::Unknown);
}

TEST(AudioFileFormat, FilesAreToldByContentWhateverTheirNames) {
  TempDir dir;
  // A FLAC stream behind an ID3v2 tag is FLAC; an MP3 behind one stays MP3.
  const std::string id3 = std::string("ID3\x04\0\0\0\0\0\x05", 10) + std::string(5, '\0');
  WriteFile(dir.File("tagged.mp3"), id3 + "fLaC\0\0\0\x22");
  EXPECT_EQ(SniffAudioFileFormat(dir.File("tagged.mp3")), AudioFileFormat::Flac);
  WriteFile(dir.File("plain.mp3"), id3 + "\xff\xfb\x90\x64");
  EXPECT_EQ(SniffAudioFileFormat(dir.File("plain.mp3")), AudioFileFormat::Mp3);
  // Nothing to read, a folder, a FIFO (never opened for a blocking read), a missing file.
  WriteFile(dir.File("empty.flac"), "");
  EXPECT_EQ(SniffAudioFileFormat(dir.File("empty.flac")), AudioFileFormat::Unknown);
  EXPECT_EQ(SniffAudioFileFormat(dir.Path()), AudioFileFormat::Unknown);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(SniffAudioFileFormat(dir.File("fifo")), AudioFileFormat::Unknown);
  EXPECT_EQ(SniffAudioFileFormat(dir.File("missing")), AudioFileFormat::Unknown);

  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  struct Case {
    const char* codec;
    const char* container;
    AudioFileFormat format;
  };
  const Case cases[] = {{"flac", "flac", AudioFileFormat::Flac},       {"libvorbis", "ogg", AudioFileFormat::OggVorbis},
                        {"libopus", "ogg", AudioFileFormat::Opus},     {"aac", "ipod", AudioFileFormat::M4a},
                        {"alac", "ipod", AudioFileFormat::M4a},        {"pcm_s16le", "wav", AudioFileFormat::Wav},
                        {"libmp3lame", "mp3", AudioFileFormat::Mp3},   {"aac", "adts", AudioFileFormat::Aac}};
  for (const Case& c : cases) {
    // Every file is named ".bin": only its bytes can tell.
    const std::string path = dir.File(std::string(c.codec) + "-" + c.container + ".bin");
    reference_tools::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.5 -ac 2 -c:a " +
                         std::string(c.codec) + " -f " + c.container + " '" + path + "'");
    EXPECT_EQ(SniffAudioFileFormat(path), c.format) << c.codec << " in " << c.container;
    EXPECT_FALSE(AudioFormatExtension(c.format).empty());
    EXPECT_FALSE(AudioFormatName(c.format).empty());
  }
}

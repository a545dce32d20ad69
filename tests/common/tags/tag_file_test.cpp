// The rewrite of tagged files: every tag layout the builder makes, compared byte for byte
// around the audio; failures that leave the file as it was; what is not a regular file.
#include "common/tags/tag_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>

#include "common/tags/id3v2_header.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/tags/tagged_file_builder.h"
#include "tests/common/temp_dir.h"

namespace {

// The MPEG frames between the tags of every file here.
constexpr int kAudioFrames = 20;
const Bytes& Audio() {
  static const Bytes audio = MpegFrames(kAudioFrames);
  return audio;
}

Bytes Slice(const Bytes& bytes, size_t at, size_t count) {
  if (at > bytes.size() || count > bytes.size() - at) return {};
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

// The length of the ID3v2 tag a rewrite put at the start of `file`, read by hand: version
// 2.4 without flags (so without footer), the size in 4 bytes of 7 bits.
size_t NewTagBytes(const Bytes& file) {
  EXPECT_GE(file.size(), 10u);
  if (file.size() < 10) return 0;
  EXPECT_EQ(std::string(file.begin(), file.begin() + 3), "ID3");
  EXPECT_EQ(file[3], 4) << "version";
  EXPECT_EQ(file[5], 0) << "flags";
  return 10 + ((size_t{file[6]} << 21) | (size_t{file[7]} << 14) | (size_t{file[8]} << 7) | file[9]);
}

size_t Count(const Bytes& haystack, const Bytes& needle) {
  size_t count = 0;
  for (auto at = haystack.begin();
       (at = std::search(at, haystack.end(), needle.begin(), needle.end())) != haystack.end(); ++at)
    ++count;
  return count;
}

bool Contains(const Bytes& haystack, const Bytes& needle) { return Count(haystack, needle) > 0; }

// The names in a folder: a failed rewrite leaves no temporary file behind.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string AlbumField(const Bytes& record) { return std::string(record.begin() + 63, record.begin() + 93); }

class TagFileVariants : public ::testing::TestWithParam<TagVariant> {};

}  // namespace

// Catches a rewrite that cuts or shifts the audio after the old tag (a 2.3 tag's 0x10 flag
// taken for a footer cost the first MPEG frame), frames lost because TagLib misreads a
// footer or extended header, and an APE tag or ID3v1 record lost or moved. The editor's
// rewrite: both tags change, the record in place of the old one.
TEST_P(TagFileVariants, EditorRewriteKeepsTheAudioByteForByte) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  const TaggedFileParts parts = BuildTaggedFile(GetParam(), Audio());
  WriteBytes(path, parts.File());

  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.album = "New Album"};
  update.id3v1 = Id3v1Update{.album = "New Album"};
  const auto written = WriteTagFile(path, update);
  ASSERT_TRUE(written) << written.Error().reason;

  const Bytes file = ReadBytes(path);
  const size_t tagBytes = NewTagBytes(file);
  ASSERT_EQ(file.size(), tagBytes + parts.audio.size() + parts.ape.size() + kId3v1TagBytes);
  EXPECT_TRUE(Slice(file, tagBytes, parts.audio.size()) == parts.audio) << "the audio changed";
  EXPECT_EQ(Slice(file, tagBytes + parts.audio.size(), parts.ape.size()), parts.ape) << "the APE tag changed";
  const Bytes record = Slice(file, file.size() - kId3v1TagBytes, kId3v1TagBytes);
  EXPECT_EQ(AlbumField(record), "New Album" + std::string(21, ' '));
  if (GetParam().id3v1) {
    // Everything but the album is the old record's.
    Bytes expected = parts.id3v1;
    std::memcpy(expected.data() + 63, AlbumField(record).data(), 30);
    EXPECT_EQ(record, expected);
  }

  const auto read = ReadId3v2Tag(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->album, "New Album");
  if (GetParam().version != 0) {
    EXPECT_EQ(read->title, "Old Title");
    EXPECT_EQ(read->artist, "Old Artist");
    if (GetParam().version >= 3) {
      const Bytes privateFrame{'z', 'b', 0, 0xFF, 0xE0, 0x01, 0xFF, 0x00, 0xFF};
      EXPECT_TRUE(Contains(Slice(file, 0, tagBytes), privateFrame)) << "the last frame of the old tag was lost";
    }
  }
  // ffprobe, as a reader of its own, finds the new album and every MPEG frame.
  EXPECT_EQ(reference_tools::Run("ffprobe -v error -select_streams a:0 -count_packets -show_entries "
                                 "stream=nb_read_packets:format_tags=album -of default=noprint_wrappers=1 '" + path + "'"),
            "nb_read_packets=" + std::to_string(kAudioFrames) + "\nTAG:album=New Album");
}

// The maker's rewrite of a file it has just tagged: the ID3v2 tag changes and its record
// goes after the last byte, an old record included.
TEST_P(TagFileVariants, MakerRewriteKeepsTheAudioAndAppendsItsRecord) {
  TempDir dir;
  const std::string path = dir.File("track.mp3");
  const TaggedFileParts parts = BuildTaggedFile(GetParam(), Audio());
  WriteBytes(path, parts.File());

  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.title = "Track", .album = "New Album"};
  const Id3v1Record appended = EncodeId3v1Tag({"Track", "Artist", "New Album", "2000"}, kId3v1MakerTextLimit);
  update.appendedId3v1 = appended;
  const auto written = WriteTagFile(path, update);
  ASSERT_TRUE(written) << written.Error().reason;

  const Bytes file = ReadBytes(path);
  const size_t tagBytes = NewTagBytes(file);
  Bytes rest = parts.audio;
  tagged_file_builder::Append(rest, parts.ape);
  tagged_file_builder::Append(rest, parts.id3v1);
  tagged_file_builder::Append(rest, Bytes(appended.begin(), appended.end()));
  ASSERT_EQ(file.size(), tagBytes + rest.size());
  EXPECT_TRUE(Slice(file, tagBytes, rest.size()) == rest) << "the bytes after the tag changed";
  const auto read = ReadId3v2Tag(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->title, "Track");
  if (GetParam().version != 0) {
    EXPECT_EQ(read->artist, "Old Artist");
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TagFileVariants, ::testing::ValuesIn(AllTagVariants()), PrintVariant);

// Catches an extent taken from a flag the version does not define (0x10 is a footer only
// in 2.4), sizes read as plain numbers, and unknown versions or bad size bytes accepted.
TEST(Id3v2Header, ExtentFollowsWhatEachVersionDefines) {
  auto parse = [](std::array<uint8_t, 10> bytes) { return ParseId3v2Header(bytes); };
  const auto v23 = parse({'I', 'D', '3', 3, 0, 0x10, 0, 0, 0x02, 0x01});
  ASSERT_TRUE(v23);
  EXPECT_FALSE(v23.Value().AnnouncesFooter());
  EXPECT_EQ(v23.Value().BytesWithoutFooter(), 10u + 257u);
  const auto v24 = parse({'I', 'D', '3', 4, 0, 0x10, 0x7F, 0x7F, 0x7F, 0x7F});
  ASSERT_TRUE(v24);
  EXPECT_TRUE(v24.Value().AnnouncesFooter());
  EXPECT_EQ(v24.Value().bodyBytes, (1u << 28) - 1);
  const auto badSize = parse({'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0});
  ASSERT_FALSE(badSize);
  EXPECT_EQ(badSize.Error().category, ErrorCategory::Format);
  const auto v25 = parse({'I', 'D', '3', 5, 0, 0, 0, 0, 0, 1});
  ASSERT_FALSE(v25);
  EXPECT_EQ(v25.Error().category, ErrorCategory::Unsupported);
}

// Catches a header or tag file error that loses where the bad byte is, or whose category
// or text does not say what was found.
TEST(Id3v2Header, ErrorsCarryTheirPositionCategoryAndText) {
  auto parse = [](std::array<uint8_t, 10> bytes) { return ParseId3v2Header(bytes); };
  const auto badSize = parse({'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0});
  ASSERT_FALSE(badSize);
  EXPECT_EQ(badSize.Error().position.unit, ErrorPosition::Unit::Byte);
  EXPECT_EQ(badSize.Error().position.value, 8u);
  EXPECT_EQ(badSize.Error().text, "Damaged ID3v2 tag: size byte 0x80");
  EXPECT_EQ(badSize.Error().reason, "size byte 0x80");
  const auto v25 = parse({'I', 'D', '3', 5, 0, 0, 0, 0, 0, 1});
  ASSERT_FALSE(v25);
  EXPECT_EQ(PositionText(v25.Error().position), "byte 3");
  EXPECT_EQ(v25.Error().text, "Unsupported ID3v2 tag: version 2.5");

  TempDir dir;
  const std::string path = dir.File("bad.mp3");
  Bytes bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0};
  tagged_file_builder::Append(bytes, Slice(Audio(), 0, 500));
  WriteBytes(path, bytes);
  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.title = "x"};
  const auto written = WriteTagFile(path, update);
  ASSERT_FALSE(written);
  EXPECT_TRUE(written.Error().Is(TagFileFault::Damaged));
  EXPECT_EQ(written.Error().category, ErrorCategory::Format);
  EXPECT_EQ(PositionText(written.Error().position), "byte 8");
  EXPECT_EQ(written.Error().text, "Damaged ID3v2 tag: size byte 0x80");
  const auto missing = WriteTagFile(dir.File("gone.mp3"), update);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  EXPECT_EQ(missing.Error().errnum, ENOENT);
}

// Catches an edited title that readers never see (both found by id3v2_tag_fuzz): a title
// frame TagLib cannot read (an encrypted one) stayed in front of the new one, rendered
// without its flags, so readers showed its bytes; and a user text frame (TXXX) described
// "Title" was read as the title.
TEST(TagFile, OtherFramesDoNotHideTheEditedTitle) {
  TempDir dir;
  const std::string path = dir.File("odd.mp3");
  using tagged_file_builder::Append;
  using tagged_file_builder::Frame;
  using tagged_file_builder::Text;
  Bytes userTitle = Text("Title");
  userTitle.push_back(0);
  // 2.3 frame flags: 0x40 in the second byte is encryption; the method byte comes first.
  const Bytes firstFrames[] = {Frame(3, "TIT2", Bytes{0x01, 'e', 'n', 't', 'P', 'R'}, 0x40), Frame(3, "TXXX", userTitle)};
  for (const Bytes& first : firstFrames) {
    Bytes frames = first;
    Append(frames, Frame(3, "TPE1", Text("Artist")));
    Bytes file{'I', 'D', '3', 3, 0, 0};
    Append(file, tagged_file_builder::Synchsafe32(static_cast<uint32_t>(frames.size())));
    Append(file, frames);
    Append(file, Audio());
    WriteBytes(path, file);
    TagFileUpdate update;
    update.id3v2 = Id3v2Update{.title = "New Title"};
    ASSERT_TRUE(WriteTagFile(path, update));
    const auto read = ReadId3v2Tag(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->title, "New Title");
    EXPECT_EQ(read->artist, "Artist");
    EXPECT_EQ(Count(ReadBytes(path), Bytes{'T', 'I', 'T', '2'}), 1u) << "title frames";
    EXPECT_EQ(reference_tools::ProbeTag(path, "title"), "New Title");
  }
}

// Catches a tag whose extent cannot be known rewritten anyway (the audio cut where a
// damaged size says), and a refused rewrite that changes a byte or leaves a file behind.
TEST(TagFile, TagsThatCannotBeMeasuredAreRefusedAndTheFileStays) {
  TempDir dir;
  const std::string path = dir.File("odd.mp3");
  const Bytes tail = Slice(Audio(), 0, 2000);
  struct Case {
    Bytes head;
    TagFileFault kind;
  };
  const Case cases[] = {
      {{'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0}, TagFileFault::Damaged},        // a size byte over 0x7F
      {{'I', 'D', '3', 5, 0, 0, 0, 0, 0, 20}, TagFileFault::Unsupported},      // version 2.5
      {{'I', 'D', '3', 4, 0, 0, 0, 0, 0x7F, 0}, TagFileFault::Damaged},        // longer than the file
  };
  for (const Case& c : cases) {
    Bytes bytes = c.head;
    tagged_file_builder::Append(bytes, tail);
    WriteBytes(path, bytes);
    TagFileUpdate update;
    update.id3v2 = Id3v2Update{.title = "x"};
    const auto written = WriteTagFile(path, update);
    ASSERT_FALSE(written);
    EXPECT_TRUE(written.Error().Is(c.kind)) << written.Error().reason;
    EXPECT_NE(written.Error().reason.find("ID3v2 tag"), std::string::npos) << written.Error().reason;
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_FALSE(ReadId3v2Tag(path));
    // The record alone is written: the start of the file is copied as it is.
    TagFileUpdate record;
    record.id3v1 = Id3v1Update{.title = "Only the record"};
    ASSERT_TRUE(WriteTagFile(path, record));
    EXPECT_TRUE(Slice(ReadBytes(path), 0, bytes.size()) == bytes);
  }
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"odd.mp3"});
}

// Catches a write that runs out of room and still reports success or leaves the file cut:
// with the file size limited, the rewrite fails with the reason, the file keeps every
// byte and the unfinished copy is removed.
TEST(TagFile, ARewriteThatRunsOutOfRoomLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string path = dir.File("full.mp3");
  const TaggedFileParts parts = BuildTaggedFile({.name = "v23", .version = 3, .id3v1 = true}, Audio());
  const Bytes before = parts.File();
  WriteBytes(path, before);
  EXPECT_TRUE(PassesWithFileSizeLimit(before.size() - 1000, [&] {
    TagFileUpdate update;
    update.id3v2 = Id3v2Update{.album = "New Album"};
    update.id3v1 = Id3v1Update{.album = "New Album"};
    const auto written = WriteTagFile(path, update);
    return !written && written.Error().reason == std::strerror(EFBIG);
  })) << "the failed rewrite was not reported with its reason";
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"full.mp3"});
}

// Catches a rewrite that loses the file's permissions or owner, replaces a symbolic link
// by a file of its own, or replaces a file its owner made read-only (as root too: the
// rename needs only the folder's permission).
TEST(TagFile, KeepsPermissionsOwnerAndLinksAndRefusesReadOnlyFiles) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, BuildTaggedFile({.name = "v24", .version = 4}, Audio()).File());
  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.title = "New"};
  update.id3v1 = Id3v1Update{.title = "New"};

  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
  }
  ASSERT_TRUE(WriteTagFile(path, update));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  if (root) {
    EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(uid_t{4321}, gid_t{4322}));
  }

  const std::string link = dir.File("link.mp3");
  ASSERT_EQ(::symlink("song.mp3", link.c_str()), 0);
  update.id3v2->title = "Through the link";
  ASSERT_TRUE(WriteTagFile(link, update));
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadId3v2Tag(path)->title, "Through the link");

  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const Bytes before = ReadBytes(path);
  const auto refused = WriteTagFile(link, update);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.Error().reason, "The file is read-only");
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"link.mp3", "song.mp3"}));
}

namespace {

// Runs `body` on a thread and waits for it up to a generous deadline: a call that blocks
// in open() or read() on a FIFO never returns by itself. On a timeout `unblock` frees it.
bool ReturnsWithoutBlocking(const std::function<void()>& body, const std::function<void()>& unblock) {
  auto done = std::async(std::launch::async, body);
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
  unblock();
  done.wait();
  return false;
}

}  // namespace

// Catches a tag read or write that opens a FIFO or a device named as a list entry: the
// player's main thread would block in open() or read(), or take bytes meant for the
// FIFO's reader.
TEST(TagFile, FifosAndDevicesAreRefusedWithoutBeingOpened) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.title = "x"};
  update.id3v1 = Id3v1Update{.title = "x"};
  const auto unblock = [&] {
    // A reader blocked in open() returns once a writer comes, and the other way round.
    for (int flags : {O_WRONLY | O_NONBLOCK, O_RDONLY | O_NONBLOCK})
      if (const int fd = ::open(fifo.c_str(), flags); fd >= 0) ::close(fd);
  };

  // Nobody at the other end: an open() would wait for a peer forever.
  std::optional<Error> refused;
  EXPECT_TRUE(ReturnsWithoutBlocking(
      [&] {
        EXPECT_FALSE(ReadId3v2Tag(fifo));
        std::string title = "stale";
        EXPECT_EQ(ReadId3v1Tag(fifo, nullptr, nullptr, &title, nullptr), kId3CannotOpen);
        EXPECT_EQ(title, "");
        if (auto written = WriteTagFile(fifo, update); !written) refused = written.Error();
      },
      unblock));
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->reason, "Not a regular file");

  // A FIFO with bytes waiting for its reader keeps them all.
  const int peer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(peer, 0);
  const std::string waiting = "RIFF\x24\x00\x00\x00WAVEfmt ID3\x04\x00\x00\x00\x00\x00\x00TAG";
  ASSERT_EQ(::write(peer, waiting.data(), waiting.size()), static_cast<ssize_t>(waiting.size()));
  EXPECT_TRUE(ReturnsWithoutBlocking(
      [&] {
        EXPECT_FALSE(ReadId3v2Tag(fifo));
        EXPECT_EQ(ReadId3v1Tag(fifo, nullptr, nullptr, nullptr, nullptr), kId3CannotOpen);
        EXPECT_FALSE(WriteTagFile(fifo, update));
      },
      [&] {
        // A read blocked on the empty FIFO returns once there is more to read.
        const std::string more(65536, '\0');
        (void)!::write(peer, more.data(), more.size());
      }));
  char left[64] = {};
  EXPECT_EQ(::read(peer, left, sizeof left), static_cast<ssize_t>(waiting.size()));
  ::close(peer);

  // A device, and a folder, are refused by what they are.
  const auto device = WriteTagFile("/dev/null", update);
  ASSERT_FALSE(device);
  EXPECT_TRUE(device.Error().Is(TagFileFault::NotRegularFile));
  EXPECT_FALSE(ReadId3v2Tag("/dev/zero"));
  const auto folder = WriteTagFile(dir.Path(), update);
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.Error().reason, std::strerror(EISDIR));
  const auto missing = WriteTagFile(dir.File("gone.mp3"), update);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().reason, std::strerror(ENOENT));
  EXPECT_FALSE(::access(dir.File("gone.mp3").c_str(), F_OK) == 0);
}

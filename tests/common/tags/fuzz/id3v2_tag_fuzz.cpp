// Fuzz target: the rewrite of a tagged file. The input gives an ID3v2 tag (header fields
// and body, or raw bytes), the file gets MPEG-looking audio and optionally an APE tag and
// an ID3v1 record, and WriteTagFile rewrites it in a scratch folder as the editor or the
// maker would. Whatever the tag holds, the bytes after the old tag must come out unchanged,
// and a refused rewrite must leave the file byte for byte.
//
// Input: byte 0 chooses (bit 0) an ID3v1 record at the end, (bit 1) an APE tag before it,
// (bit 2) the maker's appended record instead of the editor's update, (bit 3) raw mode,
// (bit 4) a 2.4 footer after the body, (bit 5) no ID3v2 change. In raw mode the rest of
// the input is the start of the file as it is; otherwise bytes 1-3 are the header's
// version, revision and flags, and the rest is the body, whose size the header gets.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/tags/id3v2_header.h"
#include "common/tags/tag_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "id3v2_tag_fuzz: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// A scratch folder on a memory file system where there is one (the rewrite flushes every
// file it replaces), removed at exit.
struct Scratch {
  std::string folder;
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    std::string pattern = base + "/zbtag_fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder");
    folder = pattern;
  }
  ~Scratch() {
    unlink((folder + "/f.mp3").c_str());
    rmdir(folder.c_str());
  }
  // Only the file itself is in the folder: no temporary file left behind.
  bool HoldsOnlyTheFile() const {
    int names = 0;
    if (DIR* dir = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++names;
      closedir(dir);
    }
    return names == 1;
  }
};

// Four MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz: 417 bytes each) of varied bytes.
const Bytes& Audio() {
  static const Bytes audio = [] {
    Bytes bytes;
    for (int frame = 0; frame < 4; ++frame) {
      const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
      bytes.insert(bytes.end(), header, header + 4);
      for (int i = 4; i < 417; ++i) bytes.push_back(static_cast<uint8_t>(frame * 37 + i * 13));
    }
    return bytes;
  }();
  return audio;
}

Bytes ApeTag() {
  Bytes tag;
  for (bool header : {true, false}) {
    const char* marker = "APETAGEX";
    tag.insert(tag.end(), marker, marker + 8);
    const uint8_t fields[24] = {0xD0, 0x07, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(header ? 0xA0 : 0x80)};
    tag.insert(tag.end(), fields, fields + 24);
  }
  return tag;
}

Bytes Record(const char* title) {
  Bytes record(128, ' ');
  std::memcpy(record.data(), "TAG", 3);
  std::memcpy(record.data() + 3, title, std::strlen(title));
  return record;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  Check(static_cast<bool>(out), "cannot write the input file");
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EndsWith(const Bytes& bytes, const Bytes& tail) {
  return bytes.size() >= tail.size() && std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Scratch scratch;
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const bool withRecord = mode & 0x01, withApe = mode & 0x02, maker = mode & 0x04, raw = mode & 0x08,
             footer = mode & 0x10, keepId3v2 = mode & 0x20;

  // The start of the file, and where its tag ends when the input says so (structured mode).
  Bytes head;
  size_t knownTagEnd = SIZE_MAX;
  bool knownVersion = false;
  if (raw) {
    head.assign(data + 1, data + size);
  } else {
    if (size < 4) return 0;
    const Bytes body(data + 4, data + size);
    Id3v2Header header{data[1], data[2], data[3], static_cast<uint32_t>(body.size())};
    const auto rendered = RenderId3v2Header(header);
    head.assign(rendered.begin(), rendered.end());
    head.insert(head.end(), body.begin(), body.end());
    knownVersion = header.version >= 2 && header.version <= 4 && header.revision != 0xFF;
    knownTagEnd = head.size();
    if (footer && header.AnnouncesFooter()) {
      auto bytes = rendered;
      std::memcpy(bytes.data(), "3DI", 3);
      head.insert(head.end(), bytes.begin(), bytes.end());
      knownTagEnd = head.size();
    }
  }
  Bytes rest = Audio();
  if (withApe) {
    const Bytes ape = ApeTag();
    rest.insert(rest.end(), ape.begin(), ape.end());
  }
  const Bytes oldRecord = Record("Old");
  Bytes before = head;
  before.insert(before.end(), rest.begin(), rest.end());
  if (withRecord) before.insert(before.end(), oldRecord.begin(), oldRecord.end());

  const std::string path = scratch.folder + "/f.mp3";
  WriteFile(path, before);
  (void)ReadId3v2Tag(path);

  TagFileUpdate update;
  if (!keepId3v2) update.id3v2 = Id3v2Update{.title = "Fuzz Title", .album = "Fuzz Album"};
  const Id3v1Record appended = EncodeId3v1Tag({"New", "", "", ""}, kId3v1MakerTextLimit);
  if (maker) {
    update.appendedId3v1 = appended;
  } else {
    update.id3v1 = Id3v1Update{.title = "New"};
  }
  const auto written = WriteTagFile(path, update);
  const Bytes after = ReadFile(path);
  Check(scratch.HoldsOnlyTheFile(), "a temporary file was left behind");
  if (!written) {
    Check(after == before, "a refused rewrite changed the file");
    Check(!keepId3v2, "a rewrite of the record alone was refused");
    Check(!knownVersion, "a well-formed tag was refused");
    return 0;
  }
  Check(raw || knownVersion || keepId3v2, "a tag of an unknown version was rewritten");

  // The new file: the new tag (or the old start as it was), the bytes after the old tag,
  // the record.
  size_t newTagEnd = 0;
  if (!keepId3v2) {
    Check(after.size() >= kId3v2HeaderBytes && std::memcmp(after.data(), "ID3\x04\x00\x00", 6) == 0,
          "the new tag is not a plain 2.4 tag");
    newTagEnd = kId3v2HeaderBytes + ((size_t{after[6]} << 21) | (size_t{after[7]} << 14) | (size_t{after[8]} << 7) | after[9]);
    Check(newTagEnd <= after.size(), "the new tag is longer than the file");
  }
  Bytes kept(after.begin() + static_cast<long>(newTagEnd), after.end());
  Bytes old = before;
  if (maker) {
    Check(EndsWith(kept, Bytes(appended.begin(), appended.end())), "the maker's record is not at the end");
    kept.resize(kept.size() - 128);
  } else {
    Check(kept.size() >= 128 && std::memcmp(kept.data() + kept.size() - 128, "TAGNew", 6) == 0,
          "the editor's record is not at the end");
    kept.resize(kept.size() - 128);
    // The old record is replaced, unless a raw tag claims its bytes too.
    if (withRecord && !(raw && !EndsWith(Bytes(old.begin(), old.end() - 128), kept))) old.resize(old.size() - 128);
  }
  // What stays is an end part of the old file: the rewrite only replaced the start.
  Check(EndsWith(old, kept), "bytes after the old tag changed");
  if (keepId3v2) {
    Check(kept.size() == old.size(), "the start of the file changed");
  } else if (knownTagEnd != SIZE_MAX) {
    Check(kept.size() == old.size() - knownTagEnd, "the old tag's extent was misjudged");
  }
  if (!keepId3v2) {
    const auto read = ReadId3v2Tag(path);
    Check(read && read->title == "Fuzz Title" && read->album == "Fuzz Album", "the new tag does not read back");
  }
  return 0;
}

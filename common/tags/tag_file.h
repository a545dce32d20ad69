// The tags of a file on disk: where the ID3v2 tag, the audio and the ID3v1 record lie,
// and the one way both programs change them: a complete new file written beside the old
// one and renamed over it only once it is whole.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/id3v1_tag.h"
#include "common/error.h"
#include "common/tags/id3v2_header.h"
#include "common/tags/id3v2_tag.h"
#include "common/unique_fd.h"

// The cases of a tag file's errors. Each error's text (and reason, the same) is the reason
// for a person, which callers put after the file's name: "No space left on device", "Not
// a regular file", "The file is read-only", "Damaged ID3v2 tag: size byte 0x80", ...
enum class TagFileFault {
  Access,          // the file cannot be found, opened or written (Io: missing, no access, ...)
  NotRegularFile,  // a folder, FIFO, device or socket: never opened (Unsupported)
  ReadOnly,        // the file's permissions allow no writing, root's writes included (Io, EACCES)
  Read,            // reading the file failed (Io; errnum 0 when the file became shorter)
  Damaged,         // the ID3v2 tag cannot be measured: a bad header, or longer than the file (Format)
  Unsupported,     // an ID3v2 tag of a version whose extent is not known (Unsupported)
  Write,           // the new file could not be written or put in place (Io)
};

// What a rewrite changes; what it does not name stays byte for byte.
struct TagFileUpdate {
  // The ID3v2 tag at the start gives way to one with these changes (RenderUpdatedId3v2Tag);
  // a file without one gets one.
  std::optional<Id3v2Update> id3v2;
  // The ID3v1 record at the end is updated (UpdateId3v1Record); a file without one gets one.
  std::optional<Id3v1Update> id3v1;
  // Instead of `id3v1`: this record goes after the last byte, and an old one is not looked
  // for (the maker's rule for a file it has just encoded).
  std::optional<Id3v1Record> appendedId3v1;
};

// Opens an existing file for reading, refusing from its status what is not a regular file
// (a FIFO or a device named as a list entry must not block the player's main thread, and
// opening some devices has effects of its own) before opening it, without blocking, and
// checking afterwards that the same file was opened.
Expected<UniqueFd> OpenTagFile(const std::string& path);

// Where the tags of a file lie. The audio is everything between the ID3v2 tag and the
// ID3v1 record, an APE tag or a second ID3v2 tag included: a rewrite copies it unchanged.
struct TagFileLayout {
  uint64_t fileBytes = 0;
  std::optional<Id3v2Header> id3v2;  // the tag at the very start, if any
  // Header, body and a 2.4 footer that is really there: what its version defines. A 2.3
  // tag's 0x10 flag adds nothing; so does a 2.4 footer flag without "3DI" where the
  // footer would be (the bytes there are kept as audio).
  uint64_t id3v2Bytes = 0;
  // The last 128 bytes start with "TAG" and lie after the ID3v2 tag.
  bool hasId3v1 = false;

  uint64_t AudioEnd() const { return hasId3v1 ? fileBytes - kId3v1TagBytes : fileBytes; }
};
// Damaged or Unsupported when the file starts with an ID3v2 tag whose extent cannot be
// known; Read when the file cannot be read.
Expected<TagFileLayout> ReadTagFileLayout(int fd);

// Exactly `bytes` bytes from `offset` on; Read when the file has fewer.
Expected<std::vector<uint8_t>> ReadFileBytes(int fd, uint64_t offset, uint64_t bytes);

// Rewrites the tags of the existing regular file at `path`: the complete new file (new
// ID3v2 tag, the audio bytes unchanged, the new ID3v1 record) is written into a temporary
// file in the same folder, flushed to the disk, given the old file's permissions (and its
// owner where the system allows), and renamed over the old file only when complete. A
// symbolic link stays a link: its target is rewritten. On any failure the file is left
// byte for byte as it was and no temporary file remains.
//
// Refused before anything is written: a path that is not an existing regular file, a file
// whose permissions allow no writing (the rename would otherwise replace a file its owner
// protected), and a file whose ID3v2 tag cannot be measured.
Outcome WriteTagFile(const std::string& path, const TagFileUpdate& update);

// Rewrites the existing regular file at `path` through `edit`, with the refusals and the
// guarantee of WriteTagFile: a complete copy is written into a temporary file beside it
// (with the old file's owner and permissions), `edit` changes the copy (given its
// descriptor, open for reading and writing, and its name, for libraries that open files
// by name), and the copy is renamed over the old file only when `edit` succeeded and the
// copy is on the disk. An error of `edit` is returned as it is.
Outcome RewriteFileCopy(const std::string& path,
                        const std::function<Outcome(int fd, const std::string& copyPath)>& edit);

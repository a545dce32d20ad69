// Tags of files on disk: measured here, written by copying the file into a new one beside it.
#include "common/tags/tag_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/regular_file.h"

namespace {

using Kind = TagFileFault;

// The error of a case: errnum (when not 0) says why, else detail does.
Error TagFailure(Kind kind, int errnum, std::string detail = {}, ErrorPosition position = {}) {
  ErrorCategory category = ErrorCategory::Io;
  std::string reason;
  switch (kind) {
    case Kind::Access: reason = std::strerror(errnum); break;
    case Kind::NotRegularFile:
      category = ErrorCategory::Unsupported;
      reason = errnum == EISDIR ? std::strerror(EISDIR) : "Not a regular file";
      errnum = 0;
      break;
    case Kind::ReadOnly: reason = "The file is read-only"; break;
    case Kind::Read:
      reason = errnum != 0 ? std::string("Cannot read the file: ") + std::strerror(errnum) : detail;
      break;
    case Kind::Damaged:
      category = ErrorCategory::Format;
      reason = "Damaged ID3v2 tag: " + detail;
      break;
    case Kind::Unsupported:
      category = ErrorCategory::Unsupported;
      reason = "Unsupported ID3v2 tag: " + detail;
      break;
    case Kind::Write: reason = errnum != 0 ? std::string(std::strerror(errnum)) : detail; break;
  }
  Error error(category, position, reason, reason, {}, errnum);
  error.WithCase(kind);
  return error;
}

// Reads exactly `bytes` at `offset`; false at the end of the file or on a failed read
// (errno set; 0 at the end).
bool ReadAllAt(int fd, uint8_t* data, size_t bytes, uint64_t offset) {
  while (bytes > 0) {
    const ssize_t n = ::pread(fd, data, bytes, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = 0;
      return false;
    }
    data += n;
    bytes -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

Error ReadError(const char* what) {
  const int errnum = errno;
  return errnum != 0 ? TagFailure(Kind::Read, errnum) : TagFailure(Kind::Read, 0, what);
}

// The extent of the ID3v2 tag at the start of the file: 0 without one.
Expected<std::pair<std::optional<Id3v2Header>, uint64_t>> MeasureId3v2Tag(int fd, uint64_t fileBytes) {
  using Extent = std::pair<std::optional<Id3v2Header>, uint64_t>;
  std::array<uint8_t, kId3v2HeaderBytes> head{};
  const size_t headBytes = fileBytes < head.size() ? static_cast<size_t>(fileBytes) : head.size();
  if (!ReadAllAt(fd, head.data(), headBytes, 0)) return Fail(ReadError("the file became shorter while it was read"));
  if (!StartsWithId3v2Marker(std::span<const uint8_t>(head.data(), headBytes))) return Extent{};
  if (headBytes < head.size()) return Fail(TagFailure(Kind::Damaged, 0, "the file ends within the tag header"));
  auto header = ParseId3v2Header(head);
  if (!header) {
    const Error& error = header.Error();
    return Fail(TagFailure(error.category == ErrorCategory::Unsupported ? Kind::Unsupported : Kind::Damaged, 0,
                           error.reason, error.position));
  }
  uint64_t bytes = header.Value().BytesWithoutFooter();
  if (bytes > fileBytes)
    return Fail(TagFailure(Kind::Damaged, 0,
                           "the tag announces " + std::to_string(bytes) + " bytes, the file has " + std::to_string(fileBytes)));
  // Only a 2.4 tag has a footer, and only one that is really there counts: bytes that are
  // no footer belong to the audio and are kept.
  if (header.Value().AnnouncesFooter() && bytes + kId3v2FooterBytes <= fileBytes) {
    std::array<uint8_t, kId3v2FooterBytes> footer{};
    if (!ReadAllAt(fd, footer.data(), footer.size(), bytes)) return Fail(ReadError("the file became shorter"));
    if (IsFooterOf(header.Value(), footer)) bytes += kId3v2FooterBytes;
  }
  return Extent{header.Value(), bytes};
}

// The last 128 bytes hold an ID3v1 record that lies wholly after the first `after` bytes.
Expected<bool> HasId3v1Record(int fd, uint64_t fileBytes, uint64_t after) {
  if (fileBytes < after + kId3v1TagBytes) return false;
  uint8_t marker[3] = {};
  if (!ReadAllAt(fd, marker, sizeof marker, fileBytes - kId3v1TagBytes))
    return Fail(ReadError("the file became shorter while it was read"));
  return std::memcmp(marker, "TAG", 3) == 0;
}

// Copies `bytes` from `offset` of `from` to the end of `to`; false with errno set (0 when
// `from` ended early).
bool CopyBytes(int from, uint64_t offset, uint64_t bytes, int to) {
  // The kernel copies (or shares) the blocks itself where the file systems allow it.
  bool kernelCopy = true;
  std::vector<uint8_t> buffer;
  while (bytes > 0) {
    if (kernelCopy) {
      loff_t at = static_cast<loff_t>(offset);
      const ssize_t n = ::copy_file_range(from, &at, to, nullptr, bytes, 0);
      if (n > 0) {
        offset += static_cast<uint64_t>(n);
        bytes -= static_cast<uint64_t>(n);
        continue;
      }
      if (n == 0) {
        errno = 0;
        return false;
      }
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF) return false;
      kernelCopy = false;
    }
    buffer.resize(256 * 1024);
    const size_t chunk = bytes < buffer.size() ? static_cast<size_t>(bytes) : buffer.size();
    if (!ReadAllAt(from, buffer.data(), chunk, offset) || !WriteAll(to, buffer.data(), chunk)) return false;
    offset += chunk;
    bytes -= chunk;
  }
  return true;
}

// Whether the file may be replaced: a rename needs only the folder's permission, so the
// file's own is checked here. The system's check speaks for the effective user (and a
// read-only file system); root passes it whatever the permissions say, but a file that
// nobody may write is one its owner protected, and stays as it is.
std::optional<Error> RefuseUnwritable(const std::string& path, const struct stat& info) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == EACCES && (info.st_mode & 0222) == 0) return TagFailure(Kind::ReadOnly, EACCES);
    return TagFailure(Kind::Access, errno);
  }
  if ((info.st_mode & 0222) == 0) return TagFailure(Kind::ReadOnly, EACCES);
  return std::nullopt;
}

}  // namespace

Expected<UniqueFd> OpenTagFile(const std::string& path) {
  auto opened = OpenRegularFile(path);
  if (opened) return std::move(opened).Value();
  const Error& error = opened.Error();
  if (error.errnum != 0) return Fail(TagFailure(Kind::Access, error.errnum));
  return Fail(TagFailure(Kind::NotRegularFile, error.Is(RegularFileFault::Folder) ? EISDIR : 0));
}

Expected<TagFileLayout> ReadTagFileLayout(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Fail(TagFailure(Kind::Read, errno));
  TagFileLayout layout;
  layout.fileBytes = static_cast<uint64_t>(info.st_size);
  auto extent = MeasureId3v2Tag(fd, layout.fileBytes);
  if (!extent) return Fail(extent.Error());
  layout.id3v2 = extent.Value().first;
  layout.id3v2Bytes = extent.Value().second;
  auto v1 = HasId3v1Record(fd, layout.fileBytes, layout.id3v2Bytes);
  if (!v1) return Fail(v1.Error());
  layout.hasId3v1 = v1.Value();
  return layout;
}

Expected<std::vector<uint8_t>> ReadFileBytes(int fd, uint64_t offset, uint64_t bytes) {
  std::vector<uint8_t> data(static_cast<size_t>(bytes));
  if (!ReadAllAt(fd, data.data(), data.size(), offset))
    return Fail(ReadError("the file became shorter while it was read"));
  return data;
}

Outcome RewriteFileCopy(const std::string& path,
                        const std::function<Outcome(int fd, const std::string& copyPath)>& edit) {
  auto opened = OpenTagFile(path);
  if (!opened) return Fail(opened.Error());
  const int in = opened.Value().Get();
  struct stat info {};
  if (::fstat(in, &info) != 0) return Fail(TagFailure(Kind::Access, errno));
  if (auto refused = RefuseUnwritable(path, info)) return Fail(*refused);

  auto created = OutputFile::Create(path, {.readable = true});
  if (!created) return Fail(TagFailure(Kind::Write, created.Error().errnum, created.Error().Message()));
  OutputFile& out = created.Value();
  if (out.InPlace()) return Fail(TagFailure(Kind::NotRegularFile, 0));
  if (::fchown(out.Fd(), info.st_uid, info.st_gid) == 0) (void)::fchmod(out.Fd(), info.st_mode & 07777);
  if (!CopyBytes(in, 0, static_cast<uint64_t>(info.st_size), out.Fd())) {
    const int errnum = errno;
    return Fail(errnum != 0 ? TagFailure(Kind::Write, errnum)
                            : TagFailure(Kind::Read, 0, "the file became shorter while it was copied"));
  }
  auto edited = edit(out.Fd(), out.WritePath());
  if (!edited) return Fail(edited.Error());
  auto committed = out.Commit();
  if (!committed) return Fail(TagFailure(Kind::Write, committed.Error().errnum, committed.Error().Message()));
  return Done{};
}

Outcome WriteTagFile(const std::string& path, const TagFileUpdate& update) {
  auto opened = OpenTagFile(path);
  if (!opened) return Fail(opened.Error());
  const int in = opened.Value().Get();
  struct stat info {};
  if (::fstat(in, &info) != 0) return Fail(TagFailure(Kind::Access, errno));
  if (auto refused = RefuseUnwritable(path, info)) return Fail(*refused);

  // Where the old tags lie. Without an ID3v2 change the start of the file is copied as it
  // is, whatever it holds, and only the end is looked at.
  TagFileLayout layout;
  if (update.id3v2) {
    auto measured = ReadTagFileLayout(in);
    if (!measured) return Fail(measured.Error());
    layout = measured.Value();
  } else {
    layout.fileBytes = static_cast<uint64_t>(info.st_size);
    auto v1 = HasId3v1Record(in, layout.fileBytes, 0);
    if (!v1) return Fail(v1.Error());
    layout.hasId3v1 = v1.Value();
  }

  std::vector<uint8_t> head;
  uint64_t copyFrom = 0;
  if (update.id3v2) {
    auto oldTag = ReadFileBytes(in, 0, layout.id3v2Bytes);
    if (!oldTag) return Fail(oldTag.Error());
    auto rendered = RenderUpdatedId3v2Tag(oldTag.Value(), *update.id3v2);
    if (!rendered) return Fail(TagFailure(Kind::Unsupported, 0, rendered.Error().text));
    head = std::move(rendered).Value();
    copyFrom = layout.id3v2Bytes;
  }

  uint64_t copyTo = layout.fileBytes;
  std::optional<Id3v1Record> tail;
  if (update.appendedId3v1) {
    tail = *update.appendedId3v1;
  } else if (update.id3v1) {
    std::optional<Id3v1Record> old;
    if (layout.hasId3v1) {
      old.emplace();
      if (!ReadAllAt(in, old->data(), old->size(), layout.AudioEnd()))
        return Fail(ReadError("the file became shorter while it was read"));
      copyTo = layout.AudioEnd();
    }
    tail = UpdateId3v1Record(old ? &*old : nullptr, *update.id3v1);
  }

  auto created = OutputFile::Create(path);
  if (!created) return Fail(TagFailure(Kind::Write, created.Error().errnum, created.Error().Message()));
  OutputFile& out = created.Value();
  // Checked above; this is a file swapped for a device or FIFO since then.
  if (out.InPlace()) return Fail(TagFailure(Kind::NotRegularFile, 0));
  // The new file belongs to whoever owned the old one where the system allows it (root
  // editing a user's file), then gets its permissions again: a change of owner clears the
  // set-id bits.
  if (::fchown(out.Fd(), info.st_uid, info.st_gid) == 0) (void)::fchmod(out.Fd(), info.st_mode & 07777);

  if (!WriteAll(out.Fd(), head.data(), head.size()) || !CopyBytes(in, copyFrom, copyTo - copyFrom, out.Fd()) ||
      (tail && !WriteAll(out.Fd(), tail->data(), tail->size()))) {
    const int errnum = errno;
    return Fail(errnum != 0 ? TagFailure(Kind::Write, errnum)
                            : TagFailure(Kind::Read, 0, "the file became shorter while it was copied"));
  }
  auto committed = out.Commit();
  if (!committed) return Fail(TagFailure(Kind::Write, committed.Error().errnum, committed.Error().Message()));
  return Done{};
}

// The tag editor's rules over the ID3v1 reader and writer.
#include "player/playlist/tag_edit.h"

#include <sys/stat.h>

#include "common/paths.h"
#include "player/playlist/list_entries.h"

std::string TagEditInstruction(const std::vector<std::string>& selected) {
  if (selected.size() < 2)
    return "Specify ID3 tag for: " + (selected.empty() ? std::string() : ExtractFileName(selected.front()));
  return "Specify ID3 tag for the selected files.";
}

std::optional<std::string> TitleToWrite(const std::string& entry, const TagEditValues& values, size_t selectedCount) {
  if (values.useFileName) return ExtractBaseName(entry);
  if (selectedCount < 2) return values.song;
  return std::nullopt;
}

Id3v1Tag ReadTagForEditing(const std::string& entry) {
  Id3v1Tag tag;
  if (IsStreamUrl(entry)) return tag;
  if (ReadId3v1Tag(entry, &tag.album, &tag.artist, &tag.title, &tag.year) != kId3Ok) return Id3v1Tag{};
  return tag;
}

std::string CannotWriteTagMessage(const std::string& entry) {
  return "Cannot write ID3 tag of: " + ExtractFileName(entry);
}

std::vector<std::string> WriteTags(const std::vector<std::string>& selected, const TagEditValues& values) {
  std::vector<std::string> failures;
  for (const std::string& entry : selected) {
    struct stat st {};
    const bool regular = !IsStreamUrl(entry) && ::stat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const std::optional<std::string> title = TitleToWrite(entry, values, selected.size());
    if (!regular ||
        WriteId3v1Tag(entry, &values.album, &values.artist, title ? &*title : nullptr, &values.year) != kId3Ok)
      failures.push_back(CannotWriteTagMessage(entry));
  }
  return failures;
}

// Row texts of the two job lists: the status word at the front shows the job state, which
// the pipeline keeps typed (job_status.h) and renders through StatusWord.
#pragma once

#include <string>
#include <string_view>

// Status words. Track rows use all but the file words; file rows use "+", "OK:",
// "Kept:", "Error:" and "Cancelled" (the colon belongs to the word). "Kept" marks a job
// that left an existing output as it was (the overwrite question was answered No).
namespace status {
inline constexpr const char* kPending = "+";
inline constexpr const char* kRead = "Read";
inline constexpr const char* kReadWarned = "Read/W";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kOkWarned = "OK/W";
inline constexpr const char* kError = "Error";
inline constexpr const char* kCancelled = "Cancelled";
inline constexpr const char* kKept = "Kept";
inline constexpr const char* kFileOk = "OK:";
inline constexpr const char* kFileKept = "Kept:";
inline constexpr const char* kFileError = "Error:";
}  // namespace status

// Track row "%s\tTrack %02i\t%02i:%02i\t%s": status, track number, length from sectors
// (75 per second), name.
std::string TrackRowText(std::string_view status, int track, long lengthSectors,
                         std::string_view name);

// The row text with its status word (the text before the first tab) replaced; a row
// without a tab becomes "status\trow".
std::string WithStatus(std::string_view row, std::string_view status);

// The status word of a row: the text before the first tab, or the whole row.
std::string RowStatus(std::string_view row);

// Path of a file row: the text after the first tab, or the whole text.
std::string FileRowPath(std::string_view row);

// File row "%s\t%s" = status, path.
std::string FileRowText(std::string_view status, std::string_view path);

// Name column of a track row: the fourth column up to the next tab, empty when the row has
// fewer than three tabs.
std::string TrackRowName(std::string_view row);

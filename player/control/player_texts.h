// The texts the main window shows: the title field, the stream information, the time and
// the application title, and the captions of the file list popup.
#pragma once

#include <cstdint>
#include <string>

#include "common/id3v1_tag.h"

// Between the artist and the title: an en dash with a space each side.
inline constexpr const char* kTitleDash = " \u2013 ";
// "Artist – Title (Album, 1999)" of a tag: the album and the year in brackets only where
// the tag knows them ("Artist – Title (1999)", "Artist – Title"), the artist only where
// it is known ("Title"). Empty for a tag without a title (the file name shows instead).
// Fields of spaces count as blank; a year that is not a number ("YYYY") as unknown.
std::string TagText(const Id3v1Tag& tag);
// The title field: the tag text when there is one, else the entry's file name (no
// folder) with a final ".mp3" (any case) removed when the name is longer than that; a
// URL whole.
std::string FileLabelText(const std::string& entry, const std::string& tagText);
// "%03iKbps %iKhz %s" with the mode "ST" (0), "JS" (1), "2C" (2) or "MN" (other).
std::string StreamInfoText(uint16_t bitrate, uint16_t frequency, uint8_t mode);
// "%.2d:%.2d" of hours × 60 + minutes and seconds.
std::string TimeText(uint8_t hours, uint8_t minutes, uint8_t seconds);
// The application title while playing: the time, a space, "zbplayer".
std::string ApplicationTitle(const std::string& timeText);
// The info field's text of a playback failure: the message names the entry and then why
// ("Cannot play /m/a.mp3: it is a named pipe (FIFO), not a regular file"); the title
// field already names the entry and the field is narrow, so it shows the reason alone,
// its first letter raised ("It is a named pipe ..."). A message that does not name the
// entry that way is shown whole.
std::string InfoFieldError(const std::string& message, const std::string& entry);
// The popup item of an entry: its file name without folder, with the extension unless it
// is ".mp3" (any case).
std::string PopupCaption(const std::string& entry);

inline constexpr const char* kPlayerVersion = "1.1b";
// "zbplayer - Zimbar MP3 Player (v1.1b)".
std::string MainWindowCaption();

// Shows a text at most once per wall-clock second given by the caller: the time field.
class SecondThrottle {
 public:
  bool Pass(int64_t nowSecond) {
    if (nowSecond == last_) return false;
    last_ = nowSecond;
    return true;
  }

 private:
  int64_t last_ = -1;
};

// The stream information field: a text passes when now is past the remembered second,
// which then becomes now + 1, so at most one text in two seconds. Reset lets the next one
// through (a new file).
class TwoSecondThrottle {
 public:
  bool Pass(int64_t nowSecond) {
    if (nowSecond <= last_) return false;
    last_ = nowSecond + 1;
    return true;
  }
  void Reset() { last_ = 0; }

 private:
  int64_t last_ = 0;
};

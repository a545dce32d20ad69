// The texts the maker makes while it works (status panels, the track list's "Track 03" and
// status words, log lines, the Start/Cancel hints, the output path and the boxes' texts),
// translated by the language files' [MP3 Maker Texts] section.
//
// Core code writes these texts in English and hosts that print them (--batch) keep that
// form, which they may parse. A window shows each text through MakerTexts: the text is
// matched against the catalogue's English templates and rebuilt from the language's
// template with the same values, so a translation may reorder them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "maker/settings/language_file.h"

inline constexpr const char* kMakerTextsSection = "MP3 Maker Texts";

// One text of the catalogue: its key in the section and its English template. "%1" to
// "%9" stand for the values the text carries (a path, a percentage, a track number, a
// nested text such as an error's reason); every other character is literal.
struct MakerText {
  std::string_view key;
  std::string_view english;
};

// Every text of the catalogue, in the order the shipped files list them.
std::span<const MakerText> MakerTextCatalogue();

class MakerTexts {
 public:
  // The English texts.
  MakerTexts() = default;
  // The texts of a language file; a key it lacks (or leaves empty) keeps its English text.
  explicit MakerTexts(const LanguageFile& file);

  // The template of `key` in this language; empty for a key not in the catalogue.
  std::string Template(std::string_view key) const;
  // The template of `key` with %1, %2, ... replaced by `values`.
  std::string Format(std::string_view key, const std::vector<std::string>& values = {}) const;

  // `english` (a text core code made) in this language: the catalogue template that
  // matches it with the most literal characters, rebuilt in this language; each value it
  // carries that is itself a catalogue text is translated as well (a path, which begins
  // with '/', is left as it is). A text of several lines that no template matches as a
  // whole is translated line by line (paths stay, with a "(reason)" after them
  // translated). nullopt when no template matches (a text without a key).
  std::optional<std::string> Translate(std::string_view english) const;
  // Translate, or `english` unchanged when no template matches.
  std::string Shown(std::string_view english) const;
  // The English text of `shown`, a text without values in this language ("Abgebrochen"
  // gives "Cancelled"); nullopt when no such text of the catalogue reads so.
  std::optional<std::string> EnglishOf(std::string_view shown) const;
  // A row of the track or file list ("status\tTrack 03\t...", "status\t/path"): the
  // status word and the track column translated, the rest as it is.
  std::string Row(std::string_view englishRow) const;

 private:
  // Translate for a text of one line.
  std::optional<std::string> TranslateLine(std::string_view english) const;
  // A value within a text: Shown, and a catalogue text that starts in lower case there
  // is translated and starts in lower case too.
  std::string ShownWithin(std::string_view english) const;

  std::vector<std::string> templates_;  // by catalogue index; empty: the English one
  bool translated_ = false;             // some template reads otherwise than in English
};

// The texts of the active language file (ActiveLanguageFilePath()); English when it cannot
// be read.
MakerTexts ActiveMakerTexts();

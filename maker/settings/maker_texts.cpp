// The catalogue of the maker's run-time texts and the matching that translates them.
#include "maker/settings/maker_texts.h"

#include <array>

namespace {

// Keys are named after what the text says; the shipped Language.DAT lists the same keys
// with these English texts, and every translation lists them all.
constexpr std::array kCatalogue = std::to_array<MakerText>({
    // Status panels.
    {"ReaderIdle", " CD Reader: Idle"},
    {"EncoderIdle", " %1 Encoder: Idle"},  // %1: the format ("MP3", "FLAC", "Ogg Vorbis", ...)
    {"DecoderIdle", " %1 Decoder: Idle"},
    {"ReaderProgress", " CD Reader: %1, Track %2 - %3"},
    {"FindingTrackStart", "Finding start of track"},
    {"EncoderProgress", " %1 Encoder: %2, %3"},
    {"EncoderTracks", " %1 Encoder: %2 tracks (%3)"},  // several tracks encoded at once
    {"DecoderProgress", " %1 Decoder: %2, %3"},
    {"DecodedBytes", "%1 bytes"},
    // The run's progress in the title.
    {"RunProgressTrack", "Track %1 of %2 – %3 %"},
    {"RunProgressTrackLeft", "Track %1 of %2 – %3 % – %4"},
    {"RunProgressFile", "File %1 of %2 – %3 %"},
    {"RunProgressFileLeft", "File %1 of %2 – %3 % – %4"},
    {"SecondsLeft", "%1 s left"},
    {"MinutesLeft", "%1 min left"},
    {"HoursLeft", "%1 h %2 min left"},
    // The CD information window and its lookup.
    {"NoDriveFound", "No CD-ROM Drive Found"},
    {"EnterTrackName", "Enter name for track %1:"},
    {"GettingCddbInfo", "Getting CDDB info..."},
    {"GettingMusicBrainzInfo", "Getting MusicBrainz info..."},
    {"CddbConnecting", "Connecting to the CDDB server..."},
    {"CddbLoggingIn", "Logging-in to the CDDB server..."},
    {"CddbQuerying", "Querying the CDDB server..."},
    {"CddbReading", "Requesting CD info from the CDDB server..."},
    {"MusicBrainzConnecting", "Connecting to the MusicBrainz server..."},
    {"MusicBrainzQuerying", "Querying the MusicBrainz server..."},
    {"DiscId", "Disc id: %1"},
    {"NoMatchOn", "No match for this disc on %1"},
    {"CannotReach", "Cannot reach %1"},
    {"CannotReachWhy", "Cannot reach %1: %2"},
    {"CannotReachThrough", "Cannot reach %1 through the proxy %2"},
    {"CannotReachThroughWhy", "Cannot reach %1 through the proxy %2: %3"},
    {"DidNotAnswerWithin", "%1 did not answer within %2"},
    {"NoAnswerWithin", "no answer within %1"},
    {"WaitSeconds", "%1 seconds"},
    {"WaitSecond", "%1 second"},
    {"NoNetworkConnection", "no network connection could be opened"},
    {"NoNetworkConnectionWhy", "no network connection could be opened (%1)"},
    {"AddressNotFound", "its address was not found"},
    {"ClosedTheConnection", "%1 closed the connection %2"},
    {"ConnectionFailed", "The connection to %1 failed"},
    {"ConnectionFailedWhy", "The connection to %1 failed: %2"},
    {"ConnectionFailedWhen", "The connection to %1 failed %2"},
    {"ConnectionFailedWhenWhy", "The connection to %1 failed %2: %3"},
    {"BeforeItGreeted", "before it greeted"},
    {"WhileLoggingIn", "while logging in"},
    {"BeforeTheQuery", "before it answered the query for this disc"},
    {"BeforeTheEntry", "before it sent the entry of this disc"},
    {"NoServerAddress", "%1 is no server address this lookup can use"},
    {"TakesNoConnections", "%1 does not take connections now"},
    {"RefusedTheLogIn", "%1 refused the log-in"},
    {"CouldNotAnswerQuery", "%1 could not answer the query for this disc"},
    {"CouldNotSendEntry", "%1 could not send the entry of this disc"},
    {"NoTableOfContents", "This disc has no table of contents that can be looked up"},
    {"ReportedAnError", "%1 reported an error"},
    {"ReplyUnreadable", "The reply of %1 could not be read"},
    {"ReplyTooLarge", "The reply of %1 is too large"},
    {"LookupFailed", "The lookup on %1 failed"},
    // The desktop notification at the end of a run.
    {"RunRipMp3", "Ripping to MP3"},
    {"RunRipWav", "Ripping to WAV"},
    {"RunEncode", "Encoding"},
    {"RunDecode", "Decoding"},
    {"RunFinished", "%1 finished"},
    {"RunFinishedWithErrors", "%1 finished with errors"},
    {"TrackDone", "%1 track done"},
    {"TracksDone", "%1 tracks done"},
    {"FileDone", "%1 file done"},
    {"FilesDone", "%1 files done"},
    {"DoneWithWarnings", " (%1 with warnings)"},
    {"FailedCount", ", %1 failed"},
    {"KeptCount", ", %1 kept as they were"},
    {"CancelledCount", ", %1 cancelled"},
    // The track list and the status words of both lists.
    {"TrackNumber", "Track %1"},
    {"StatusRead", "Read"},
    {"StatusReadWarned", "Read/W"},
    {"StatusOk", "OK"},
    {"StatusOkWarned", "OK/W"},
    {"StatusError", "Error"},
    {"StatusCancelled", "Cancelled"},
    {"StatusKept", "Kept"},
    {"StatusFileOk", "OK:"},
    {"StatusFileKept", "Kept:"},
    {"StatusFileError", "Error:"},
    // What proves a track row's rip, and Find Read Offset.
    {"VerifiedAccurate", "Accurate (%1)"},
    {"VerifiedNotAccurate", "Not accurate"},
    {"VerifiedNotInDatabase", "Not in database"},
    {"VerifiedSuspicious", "Suspicious"},
    {"FindOffsetTitle", "Find Read Offset"},
    {"FindOffsetFetching", "Fetching the AccurateRip record of this disc..."},
    {"FindOffsetSearching", "Reading tracks and trying offsets..."},
    {"FindOffsetCancelling", "Cancelling..."},
    {"FindOffsetSave", "Save read offset %1 for %2?"},
    {"FindOffsetMatched", "%1 tracks agree with AccurateRip at this offset (confidence %2)."},
    {"FindOffsetNotInDatabase", "The disc is not in the AccurateRip database: find the offset with a disc that it knows."},
    {"FindOffsetNoMatch", "No offset matched: no track of this disc agrees with the AccurateRip database at any offset tried."},
    {"FindOffsetNoDisc", "There is no audio disc in the drive to find the offset with."},
    {"FindOffsetFailed", "The read offset could not be found: %1"},
    {"DriveWithoutIdentity", "the drive gives neither its vendor nor its model"},
    // The output folder and the hints of Start and Cancel.
    {"OutputPath", "Output Path: %1"},
    {"StartReadingHint", "Start Reading CD"},
    {"StartEncodingHint", "Start Encoding"},
    {"StartDecodingHint", "Start Decoding"},
    {"CancelReadingHint", "Cancel Reading and Encoding"},
    {"CancelEncodingHint", "Cancel Encoding"},
    {"CancelDecodingHint", "Cancel Decoding"},
    // Message boxes.
    {"ErrorCaption", "zbmaker (Zimbar MP3 Maker) Error"},
    {"ConfirmCaption", "zbmaker Confirmation"},
    {"OverwriteQuestion", "Overwrite existing file %1 ?"},
    {"ExistingOutput", "This file exists already:"},
    {"ExistingOutputs", "%1 files exist already:"},
    {"AndMore", "... and %1 more"},
    {"ReplaceOrKeepIt", "Replace it, or keep it and skip its job?"},
    {"ReplaceOrKeepThem", "Replace them all, or keep them all and skip their jobs?"},
    {"ReplaceAll", "&Replace All"},
    {"KeepAll", "&Keep All"},
    {"StopRunQuestion", "A run is in progress. Stop it and close?"},
    {"UnexpectedError", "ERROR: An unexpected error of unknown kind occurred."},
    {"NotAddedOne", "This was not added: %1."},
    {"NotAddedMany", "These were not added: %1."},
    {"RemovedFromListOne", "Removed %1 file from the list: %2."},
    {"RemovedFromListMany", "Removed %1 files from the list: %2."},
    {"EncodingTakesWav", "encoding takes WAV files"},
    {"DecodingTakesMpeg", "decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files"},
    {"FilesTakeTheirOperation", "WAV files are encoded, MP3, AAC, FLAC, Ogg, Opus and M4A files decoded"},
    {"NotAWavFile", "not a WAV file"},
    {"NotAnMpegFile", "not an MP3, AAC, FLAC, Ogg, Opus or M4A file"},
    {"NoWavFilesInFolder", "no WAV files in this folder"},
    {"NoMpegFilesInFolder", "no MP3, AAC, FLAC, Ogg, Opus or M4A files in this folder"},
    {"NoAudioFilesInFolder", "no WAV, MP3, AAC, FLAC, Ogg, Opus or M4A files in this folder"},
    {"NeitherWavNorMpeg", "neither a WAV file nor an MP3, AAC, FLAC, Ogg, Opus or M4A file"},
    {"FilesAreForFileOperations", "files are for encoding and decoding"},
    {"NoSuchFileOrFolder", "no such file or folder"},
    {"NoDriveToEject", "There is no drive %1 to eject"},
    {"ImageHasNoTray", "%1 is a disc image: it has no tray to open"},
    {"LibraryMissing", "ERROR: Cannot load ZIMBAR library"},
    {"LibraryMissingWhy", "ERROR: Cannot load ZIMBAR library: %1"},
    {"LibraryNotFound", "%1 not found in $ZIMBAR_LIB_DIR (%2) nor in the program's folder (%3)"},
    {"LibraryNotFoundHere", "%1 not found in the program's folder (%2); $ZIMBAR_LIB_DIR is not set"},
    {"LibraryWithoutEntry", "%1 has no entry %2"},
    {"DirectoryInvalid", "ERROR: Specified directory name is invalid or cannot be created."},
    {"DirectoryErrorCaption", "Directory Selection Error"},
    {"CannotReadLanguageFile", "Cannot read the language file %1: %2"},
    {"NotALanguageFile", "%1 is not a language file: %2"},
    {"NoWindowSections", "it has none of the sections [%1], [%2] and [%3]."},
    {"CannotCopyLanguageFile", "Cannot copy the language file %1 to %2: %3"},
    {"NoSuchDiscImage", "ERROR: No such disc image: %1"},
    {"ErrorBox", "ERROR: %1"},
    {"DiscImageNotListed", "disc image not found, not listed as a drive: %1"},
    {"NotAddedWhy", "not added: %1 (%2)"},
    {"CdDevicesFailed", "ERROR: Cannot initialize CD Devices"},
    {"ManualMissing", "ERROR: The manual is not installed: %1"},
    // Log lines: headings of a job.
    {"ReadingTrack", "Reading: %1"},
    {"NotReadingTrack", "Not reading: %1"},
    {"NotEncodingFile", "Not encoding: %1"},
    {"NotDecodingFile", "Not decoding: %1"},
    {"WritingTo", "To: %1"},
    {"EncodingFile", "Encoding: %1"},
    {"DecodingFile", "Decoding: %1"},
    {"EncoderLaneLine", "[Track %1] %2"},  // a line of one of the encodes that run at once
    {"SectorRead", "%1-sector read"},
    {"SectorReadCorrecting", "%1-sector read; correcting jitters"},
    {"EncoderSettings", "%1, %2 kbps%3"},
    {"EncoderSettingsVbr", "%1, Quality-%2 VBR%3"},
    {"ChannelsMono", "Mono"},
    {"ChannelsJointStereo", "Joint-Stereo"},
    {"ChannelsStereo", "Stereo"},
    {"ExecutingProgram", "Executing external program:"},
    // Log lines: how a job ends.
    {"DoneSeconds", "    Done (%1 seconds)."},
    {"DoneSecond", "    Done (%1 second)."},
    {"JobCancelled", "    Cancelled."},
    {"ErrorLine", "    Error: %1"},
    {"ErrorLineAt", "    Error: %1 (At %2)"},
    {"WarningLine", "    Warning: %1"},
    {"WarningLineAt", "    Warning: %1 (At %2)"},
    {"DecoderErrorLine", "Error: %1"},
    {"WarningUnindented", "Warning: %1"},
    {"NoSuchFile", "no such file: %1"},
    {"Id3Added", "    ID3 tag added."},
    {"Normalizing", "    Normalizing."},
    {"NormalizationNotNeeded", "    Normalization not needed."},
    {"KeptExistingFile", "    Kept the existing file %1."},
    {"KeptExistingWhy", "    Kept the existing file %1 (%2)."},
    {"BecauseTrackNotRead", "track not read"},
    {"BecauseNotEncoded", "not encoded"},
    {"BecauseNotDecoded", "not decoded"},
    {"RemovedRead", "    Removed the read of track %1, %2 (not encoded: %3)."},
    {"KeptTrackAs", "    Kept track %1 as %2 (not encoded: %3)."},
    {"KeptBecauseCancelled", "cancelled"},
    {"KeptBecauseEncodeFailed", "the encode failed"},
    {"KeptUnfinished", "    Kept the unfinished file as %1 (%2)."},
    {"KeptBecauseFailed", "failed"},
    {"WarningLineWhy", "    Warning: %1 (%2)."},
    // Errors and warnings a log line or a box carries.
    {"SameFileName", "Track %1 has the same file name as track %2: %3"},
    {"CannotWriteId3", "Cannot write ID3 tag."},
    {"CannotDelete", "Cannot delete %1: %2"},
    {"NotARegularFile", "not a regular file"},
    {"CannotCreateFile", "Cannot create file: %1"},
    {"CannotCreatePath", "Cannot create %1: %2"},
    {"CannotWritePath", "Cannot write to %1: %2"},
    {"CannotReplacePath", "Cannot replace %1: %2"},
    {"CannotKeepUnfinished", "Cannot keep the unfinished file %1: %2"},
    {"IsTheInputItself", "%1 is the input file itself"},
    {"CannotReadToc", "Cannot read the table of contents of drive %1."},
    {"CannotLoadReader", "Cannot load NT reader."},
    {"CannotLoadReaderFunction", "Cannot load NT reader function."},
    {"ReaderFailed", "CD Reader failed."},
    {"ReaderInitFailed", "Cannot initialize CD Devices."},
    {"ReadError", "CD-ROM read error."},
    {"CannotWriteFile", "Cannot write to file."},
    {"CannotReadFile", "Cannot read file."},
    {"NotEnoughMemory", "Not enough memory."},
    {"SuspiciousEnd", "Suspicious position at track end."},
    {"Corrections", "Made %1 corrections."},
    {"DriveError", "CD Drive Error %1."},
    {"SuspiciousStart", "Suspicious start of track."},
    {"SyncError", "Sync Error."},
    {"ProgramFailedSignal", "External program failed (signal %1)."},
    {"ProgramFailedExit", "External program failed (exit code %1)."},
    {"OutputIsInput", "The output file is the input file itself."},
    {"CodecLibraryMissing", "Cannot load encoder/decoder DLL."},
    {"CannotOpenInput", "Cannot open input file."},
    {"CannotCreateOutput", "Cannot create output file."},
    {"CannotCreateOutputWhy", "Cannot create output file: %1"},
    {"CannotWriteOutput", "Cannot write to output file."},
    {"CannotReadInput", "Cannot read input file."},
    {"InvalidWavHeader", "Invalid WAV Header on input file."},
    {"NotPcm16", "Input file is not 16-bit PCM."},
    {"NotStereo", "Input file is not stereo."},
    {"BadSampleRate", "Invalid sample rate on input."},
    {"MustBeStereo", "Input must be 'stereo'."},
    {"CodecInitFailed", "Cannot initialize encoder/decoder."},
    {"CodecFailed", "Encoder/decoder failed. %1"},
    {"OutOfMemory", "Insufficient memory."},
    // Log lines of a CD run that proves its rips.
    {"AccurateRipLookingUp", "AccurateRip: looking up %1"},
    {"AccurateRipFound", "    AccurateRip: %1"},
    {"TrackResult", "    Track %1: %2"},
    {"RipLogHeading", "Rip log: %1"},
    {"RipLogWritten", "    Rip log written to %1."},
    {"CueSheetWritten", "    Cue sheet written to %1."},
    {"PlayListWritten", "    Play list written to %1."},
});

// A template cut at its placeholders: literals[0] %slots[0] literals[1] ... literals[n].
struct Pattern {
  std::vector<std::string_view> literals;
  std::vector<int> slots;  // 0-based value index of each placeholder
  size_t literalChars = 0;
};

Pattern Parse(std::string_view text) {
  Pattern pattern;
  size_t start = 0;
  for (size_t at = 0; at + 1 < text.size(); ++at) {
    if (text[at] != '%' || text[at + 1] < '1' || text[at + 1] > '9') continue;
    pattern.literals.push_back(text.substr(start, at - start));
    pattern.slots.push_back(text[at + 1] - '1');
    start = at + 2;
    ++at;
  }
  pattern.literals.push_back(text.substr(start));
  for (std::string_view literal : pattern.literals) pattern.literalChars += literal.size();
  return pattern;
}

// The values `text` carries when it matches `pattern` (each as short as the literals
// after it allow; the last one takes the rest); nullopt when it does not match.
std::optional<std::vector<std::string>> Match(std::string_view text, const Pattern& pattern) {
  const std::string_view first = pattern.literals.front();
  if (!text.starts_with(first)) return std::nullopt;
  if (pattern.slots.empty()) return text.size() == first.size() ? std::optional(std::vector<std::string>{}) : std::nullopt;
  const std::string_view last = pattern.literals.back();
  if (text.size() < first.size() + last.size() || !text.ends_with(last)) return std::nullopt;
  const std::string_view middle = text.substr(first.size(), text.size() - first.size() - last.size());
  std::vector<std::string> values(9);
  size_t at = 0;
  for (size_t i = 0; i < pattern.slots.size(); ++i) {
    const bool lastSlot = i + 1 == pattern.slots.size();
    size_t end = middle.size();
    if (!lastSlot) {
      end = middle.find(pattern.literals[i + 1], at);
      if (end == std::string_view::npos) return std::nullopt;
    }
    values[static_cast<size_t>(pattern.slots[i])] = std::string(middle.substr(at, end - at));
    at = lastSlot ? end : end + pattern.literals[i + 1].size();
  }
  return values;
}

// `text` with each placeholder replaced by its value (a missing value is empty).
std::string Fill(std::string_view text, std::span<const std::string> values) {
  std::string filled;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '%' && at + 1 < text.size() && text[at + 1] >= '1' && text[at + 1] <= '9') {
      const auto index = static_cast<size_t>(text[at + 1] - '1');
      if (index < values.size()) filled += values[index];
      ++at;
      continue;
    }
    filled += text[at];
  }
  return filled;
}

const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = [] {
    std::vector<Pattern> parsed;
    for (const MakerText& text : kCatalogue) parsed.push_back(Parse(text.english));
    return parsed;
  }();
  return patterns;
}

std::optional<size_t> IndexOf(std::string_view key) {
  for (size_t i = 0; i < kCatalogue.size(); ++i)
    if (kCatalogue[i].key == key) return i;
  return std::nullopt;
}

std::string_view LeadingBlanks(std::string_view text) { return text.substr(0, text.find_first_not_of(' ')); }

}  // namespace

std::span<const MakerText> MakerTextCatalogue() { return kCatalogue; }

MakerTexts::MakerTexts(const LanguageFile& file) {
  templates_.resize(kCatalogue.size());
  for (size_t i = 0; i < kCatalogue.size(); ++i) {
    const std::string value = file.Entry(kMakerTextsSection, kCatalogue[i].key);
    // The file's reader drops a value's leading blanks; the indent of a log line or a
    // panel's margin is the English text's.
    if (value.empty()) continue;
    std::string shown = std::string(LeadingBlanks(kCatalogue[i].english)) + value;
    // A text the file leaves as it is in English (the shipped English file lists them all)
    // keeps the catalogue's; only what reads otherwise counts as translated.
    if (shown == kCatalogue[i].english) continue;
    templates_[i] = std::move(shown);
    translated_ = true;
  }
}

std::string MakerTexts::Template(std::string_view key) const {
  const auto index = IndexOf(key);
  if (!index) return {};
  if (*index < templates_.size() && !templates_[*index].empty()) return templates_[*index];
  return std::string(kCatalogue[*index].english);
}

std::string MakerTexts::Format(std::string_view key, const std::vector<std::string>& values) const {
  return Fill(Template(key), values);
}

std::optional<std::string> MakerTexts::Translate(std::string_view english) const {
  if (auto translated = TranslateLine(english)) return translated;
  if (english.find('\n') == std::string_view::npos) return std::nullopt;
  // A box's text of several lines (a heading, a list of paths, a question) is translated
  // line by line: empty lines and paths stay, a path's "(reason)" is translated.
  std::string translated;
  size_t start = 0;
  while (true) {
    const size_t end = english.find('\n', start);
    const std::string_view line = english.substr(start, end == std::string_view::npos ? english.npos : end - start);
    if (line.empty()) {
    } else if (auto shown = TranslateLine(line)) {
      translated += *shown;
    } else if (line.front() == '/') {
      const size_t open = line.rfind(" (");
      if (line.back() == ')' && open != std::string_view::npos)
        translated += std::string(line.substr(0, open + 2)) + ShownWithin(line.substr(open + 2, line.size() - open - 3)) + ")";
      else
        translated += line;
    } else {
      return std::nullopt;
    }
    if (end == std::string_view::npos) return translated;
    translated += '\n';
    start = end + 1;
  }
}

std::optional<std::string> MakerTexts::TranslateLine(std::string_view english) const {
  const std::vector<Pattern>& patterns = Patterns();
  std::optional<size_t> best;
  std::vector<std::string> bestValues;
  for (size_t i = 0; i < patterns.size(); ++i) {
    if (best && patterns[i].literalChars <= patterns[*best].literalChars) continue;
    if (auto values = Match(english, patterns[i])) {
      best = i;
      bestValues = std::move(*values);
    }
  }
  if (!best) return std::nullopt;
  // A value that is a text of its own ("Finding start of track", an error's reason) is
  // shown in the language too; paths (the program's are absolute) are left as they are.
  for (std::string& value : bestValues)
    if (!value.empty() && value.front() != '/') value = ShownWithin(value);
  return Format(kCatalogue[*best].key, bestValues);
}

std::string MakerTexts::Shown(std::string_view english) const {
  // English shows every text as core code wrote it; no need to match it against the
  // catalogue (the status panels change many times a second during a run).
  if (!translated_) return std::string(english);
  return Translate(english).value_or(std::string(english));
}

std::optional<std::string> MakerTexts::EnglishOf(std::string_view shown) const {
  const std::vector<Pattern>& patterns = Patterns();
  for (size_t i = 0; i < kCatalogue.size(); ++i)
    if (patterns[i].slots.empty() && Template(kCatalogue[i].key) == shown) return std::string(kCatalogue[i].english);
  return std::nullopt;
}

std::string MakerTexts::ShownWithin(std::string_view english) const {
  if (auto translated = Translate(english)) return *translated;
  // A text put after a word of its own starts in lower case ("Error: cannot open input
  // file."): it is the catalogue's text all the same, and stays in lower case.
  if (english.empty() || english.front() < 'a' || english.front() > 'z') return std::string(english);
  std::string capital(english);
  capital.front() = static_cast<char>(capital.front() - 'a' + 'A');
  auto translated = Translate(capital);
  if (!translated) return std::string(english);
  const size_t first = translated->find_first_not_of(' ');
  if (first != std::string::npos && (*translated)[first] >= 'A' && (*translated)[first] <= 'Z')
    (*translated)[first] = static_cast<char>((*translated)[first] - 'A' + 'a');
  return *translated;
}

std::string MakerTexts::Row(std::string_view englishRow) const {
  const size_t firstTab = englishRow.find('\t');
  if (firstTab == std::string_view::npos) return Shown(englishRow);
  std::string row = englishRow.substr(0, firstTab) == "+" ? "+" : Shown(englishRow.substr(0, firstTab));
  std::string_view rest = englishRow.substr(firstTab);
  // A track row's second column is "Track 03"; a file row's is its path.
  const size_t secondTab = rest.find('\t', 1);
  const std::string_view second = rest.substr(1, secondTab == std::string_view::npos ? rest.npos : secondTab - 1);
  if (secondTab != std::string_view::npos && second.starts_with("Track ")) {
    row += '\t';
    row += Shown(second);
    rest = rest.substr(secondTab);
  }
  row += rest;
  return row;
}

MakerTexts ActiveMakerTexts() {
  auto file = LanguageFile::Load(ActiveLanguageFilePath());
  return file ? MakerTexts(file.Value()) : MakerTexts();
}

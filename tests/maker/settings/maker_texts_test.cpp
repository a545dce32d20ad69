// Tests of the catalogue of the maker's run-time texts: matching a text core code made,
// rebuilding it in a language, and the shipped files' [MP3 Maker Texts] sections.
#include "maker/settings/maker_texts.h"

#include <gtest/gtest.h>

#include <set>

#include "common/ini_file.h"

namespace {

const std::string kShippedFolder = std::string(ZIMBAR_SOURCE_DIR) + "/lang/";

MakerTexts German() {
  auto file = LanguageFile::Load(kShippedFolder + "language_deutsch.txt");
  EXPECT_TRUE(file.Ok());
  return MakerTexts(file.Value());
}

// The placeholders a template uses, as a set ("%1", "%3").
std::set<std::string> Placeholders(std::string_view text) {
  std::set<std::string> found;
  for (size_t at = 0; at + 1 < text.size(); ++at)
    if (text[at] == '%' && text[at + 1] >= '1' && text[at + 1] <= '9') found.insert(std::string(text.substr(at, 2)));
  return found;
}

}  // namespace

// Catches English texts changed on the way through the catalogue (a panel's margin, a log
// line's indent), and a text without a key taken for a known one.
TEST(MakerTexts, EnglishTextsComeBackUnchangedAndUnknownOnesAreFound) {
  const MakerTexts english;
  for (const char* text : {" CD Reader: Idle", " MP3 Encoder: 45.20%, /music/a b, c.mp3", " FLAC Encoder: Idle",
                           " CD Reader: 12.00%, Track 03 - /out/Track03 - x.tmp", "    Done (7 seconds).",
                           "    Warning: Made 3 corrections. (At 45.00%)", "Reading: Track 03", "Track 12",
                           "Overwrite existing file /out/a.mp3 ?", "Stereo, 128 kbps, Fast Mode"}) {
    EXPECT_EQ(english.Translate(text), std::optional<std::string>(text)) << text;
  }
  EXPECT_EQ(english.Translate("Something no key covers"), std::nullopt);
  EXPECT_EQ(english.Translate(" CD Reader: Idle!"), std::nullopt);
  EXPECT_EQ(english.Shown("Something no key covers"), "Something no key covers");
  EXPECT_EQ(english.Format("OutputPath", std::vector<std::string>{"/music"}), "Output Path: /music");
}

// Catches values put in the wrong place, a nested text left in English (also one that
// starts in lower case, or carries a path), a path taken for a text and translated, the indent of a log line lost with the file's leading blanks, and
// the longest template not preferred ("    Error: %1 (At %2)" over "    Error: %1").
TEST(MakerTexts, TranslationsRebuildTheTextWithItsValues) {
  const MakerTexts german = German();
  EXPECT_EQ(german.Shown(" CD Reader: Idle"), " CD-Leser: Bereit");
  EXPECT_EQ(german.Shown(" CD Reader: 45.20%, Track 03 - /out/Track 03 - Finding start of track.tmp"),
            " CD-Leser: 45.20%, Titel 03 - /out/Track 03 - Finding start of track.tmp");
  EXPECT_EQ(german.Shown(" CD Reader: Finding start of track, Track 03 - /out/a.tmp"),
            " CD-Leser: Suche den Anfang des Titels, Titel 03 - /out/a.tmp");
  EXPECT_EQ(german.Shown(" MP3 Decoder: 1024 bytes, /out/a.wav"), " MP3-Dekodierer: 1024 Bytes, /out/a.wav");
  // The format's name is a value of the panel texts, names of two words too.
  EXPECT_EQ(german.Shown(" Ogg Vorbis Encoder: 45.00%, /out/a, b.ogg"), " Ogg Vorbis-Kodierer: 45.00%, /out/a, b.ogg");
  EXPECT_EQ(german.Shown(" FLAC Encoder: Idle"), " FLAC-Kodierer: Bereit");
  EXPECT_EQ(german.Shown(" Opus Decoder: Idle"), " Opus-Dekodierer: Bereit");
  EXPECT_EQ(german.Shown("    Error: CD-ROM read error. (At 12.50%)"), "    Fehler: Lesefehler der CD. (bei 12.50%)");
  EXPECT_EQ(german.Shown("    Warning: Made 3 corrections. (At 1.00%)"),
            "    Warnung: 3 Korrekturen vorgenommen. (bei 1.00%)");
  EXPECT_EQ(german.Shown("Reading: Track 07"), "Lese: Titel 07");
  EXPECT_EQ(german.Shown("    Done (1 second)."), "    Fertig (1 Sekunde).");
  EXPECT_EQ(german.Shown("Start Encoding"), "Kodieren starten");
  EXPECT_EQ(german.Format("OutputPath", std::vector<std::string>{"/music"}), "Ausgabeordner: /music");
  // Values that are texts with paths in them, and one put in lower case after a word.
  EXPECT_EQ(german.Shown("    Warning: Cannot delete /out/a.tmp: not a regular file"),
            "    Warnung: /out/a.tmp kann nicht gelöscht werden: keine gewöhnliche Datei");
  EXPECT_EQ(german.Shown("Error: cannot open input file."), "Fehler: die Eingabedatei kann nicht geöffnet werden.");
  EXPECT_EQ(german.Shown("Error: what no key covers"), "Fehler: what no key covers");
  EXPECT_EQ(german.Shown("ERROR: Cannot load ZIMBAR library: libzbntread.so not found in $ZIMBAR_LIB_DIR (/a) nor "
                         "in the program's folder (/b)"),
            "FEHLER: Die ZIMBAR-Bibliothek kann nicht geladen werden: libzbntread.so wurde weder in "
            "$ZIMBAR_LIB_DIR (/a) noch im Ordner des Programms (/b) gefunden");
  EXPECT_EQ(german.Shown("Enter name for track 07:"), "Name für Titel 07:");
  // The run's progress in the title.
  EXPECT_EQ(german.Shown("Track 3 of 12 \u2013 41 % \u2013 1 h 5 min left"), "Titel 3 von 12 \u2013 41 % \u2013 noch 1 h 5 min");
  EXPECT_EQ(german.Shown("File 1 of 2 \u2013 7 %"), "Datei 1 von 2 \u2013 7 %");
  // The lines of the CD information lookup.
  EXPECT_EQ(german.Shown("gnudb.gnudb.org did not answer within 30 seconds"),
            "gnudb.gnudb.org hat nicht innerhalb von 30 Sekunden geantwortet");
  EXPECT_EQ(german.Shown("Cannot reach gnudb.gnudb.org through the proxy localhost:1080: connection refused"),
            "gnudb.gnudb.org ist über den Proxy localhost:1080 nicht erreichbar: connection refused");
  EXPECT_EQ(german.Shown("The connection to gnudb.gnudb.org failed while logging in: connection reset by peer"),
            "Die Verbindung zu gnudb.gnudb.org ist beim Anmelden fehlgeschlagen: connection reset by peer");
  // A translation may put the values in another order.
  const MakerTexts reordered(LanguageFile::FromText("[MP3 Maker Texts]\nReaderProgress=  %3 <- %2 (%1)\n"));
  EXPECT_EQ(reordered.Shown(" CD Reader: 5.00%, Track 02 - /x.tmp"), " /x.tmp <- 02 (5.00%)");
  // A key the file lacks keeps its English text.
  EXPECT_EQ(reordered.Shown(" CD Reader: Idle"), " CD Reader: Idle");
}

// Catches a box of several lines left in English when no template matches it whole, a
// path in it changed, a reason after a path left in English, and a text with a line
// no key covers taken as translated.
TEST(MakerTexts, TextsOfSeveralLinesAreTranslatedLineByLine) {
  const MakerTexts german = German();
  EXPECT_EQ(german.Shown("3 files exist already:\n\n/a b/c.mp3\n/d.mp3\n... and 1 more\n\n"
                         "Replace them all, or keep them all and skip their jobs?"),
            "3 Dateien gibt es schon:\n\n/a b/c.mp3\n/d.mp3\n... und 1 weitere\n\n"
            "Alle ersetzen, oder alle behalten und ihre Aufträge überspringen?");
  EXPECT_EQ(german.Shown("These were not added: encoding takes WAV files.\n\n/x/a (1).mp3 (not a WAV file)\n/y"),
            "Diese wurden nicht hinzugefügt: Kodieren nimmt WAV-Dateien.\n\n/x/a (1).mp3 (keine WAV-Datei)\n/y");
  EXPECT_EQ(german.Translate("This file exists already:\nSomething no key covers"), std::nullopt);
  EXPECT_EQ(MakerTexts().Translate("This file exists already:\n\n/a.mp3\n\nReplace it, or keep it and skip its job?"),
            "This file exists already:\n\n/a.mp3\n\nReplace it, or keep it and skip its job?");
}

// Catches the track column or a status word left in English, and a file row's path or a
// pending row's "+" changed.
TEST(MakerTexts, RowsTranslateTheirStatusWordAndTrackColumnOnly) {
  const MakerTexts german = German();
  EXPECT_EQ(german.Row("+\tTrack 01\t00:03\tTrack 01 name"), "+\tTitel 01\t00:03\tTrack 01 name");
  EXPECT_EQ(german.Row("Cancelled\tTrack 02\t03:20\t"), "Abgebrochen\tTitel 02\t03:20\t");
  EXPECT_EQ(german.Row("Error:\t/music/Track 01\tx.wav"), "Fehler:\t/music/Track 01\tx.wav");
  EXPECT_EQ(german.Row("+\t/music/a.wav"), "+\t/music/a.wav");
  // A status word shown in one language is found again when the language changes.
  EXPECT_EQ(german.EnglishOf("Abgebrochen"), "Cancelled");
  EXPECT_EQ(german.EnglishOf("Fehler:"), "Error:");
  EXPECT_EQ(MakerTexts().EnglishOf("Read/W"), "Read/W");
  EXPECT_EQ(german.EnglishOf("Titel 01"), std::nullopt);
}

// Catches a catalogue text the shipped English file lacks or holds differently (a
// translation made from the file would then miss it), a key with no translation in the
// German file, a key no text has, and a translation that drops or invents a value.
TEST(MakerTexts, ShippedFilesHoldEveryTextOfTheCatalogue) {
  auto english = IniFile::Load(kShippedFolder + "Language.DAT");
  auto german = IniFile::Load(kShippedFolder + "language_deutsch.txt");
  ASSERT_TRUE(english.Ok() && german.Ok());
  std::vector<std::string> keys;
  std::set<std::string> unique;
  for (const MakerText& text : MakerTextCatalogue()) {
    const std::string key(text.key);
    EXPECT_TRUE(unique.insert(key).second) << key << " is in the catalogue twice";
    keys.push_back(key);
    const std::string englishText(text.english.substr(text.english.find_first_not_of(' ')));
    EXPECT_EQ(english.Value().ReadString(kMakerTextsSection, key, ""), englishText) << key;
    const std::string germanText = german.Value().ReadString(kMakerTextsSection, key, "");
    EXPECT_FALSE(germanText.empty()) << key << " has no German text";
    EXPECT_EQ(Placeholders(germanText), Placeholders(text.english)) << key;
  }
  EXPECT_EQ(english.Value().Keys(kMakerTextsSection), keys);
  EXPECT_EQ(german.Value().Keys(kMakerTextsSection), keys);
}

// Tests of what the play list window shows of an entry, and of its edits that keep the
// player's current entry: sorting by the shown text, dragging rows, shuffling.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/tags/tag_file.h"
#include "player/playlist/list_rows.h"
#include "player/playlist/play_list.h"
#include "tests/common/tags/format_test_files.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/temp_dir.h"

namespace {

std::string Texts(const PlayList& list) {
  std::string out;
  for (const PlayListEntry& e : list.Entries()) out += (out.empty() ? "" : " ") + e.text + (e.current ? "*" : "");
  return out;
}

}  // namespace

// Catches a row that shows the folder, an empty row for a title without an artist, a
// duration shown without its hours, and a URL cut to its last part.
TEST(ListRows, ArtistTitleElseTheFileName) {
  const EntryInfo both{"Artist", "Title", 185000};
  const EntryInfo titleOnly{"", "Title", -1};
  const EntryInfo none{};
  EXPECT_EQ(EntryRowText("/m/x.mp3", &both), "Artist \u2013 Title");
  EXPECT_EQ(EntryRowText("/m/x.mp3", &titleOnly), "Title");
  EXPECT_EQ(EntryRowText("/m/x.mp3", &none), "x.mp3");
  EXPECT_EQ(EntryRowText("/m/x.mp3", nullptr), "x.mp3");
  EXPECT_EQ(EntryRowText("http://radio/live/stream.mp3", nullptr), "http://radio/live/stream.mp3");
  EXPECT_EQ(DurationText(185000), "3:05");
  EXPECT_EQ(DurationText(999), "0:00");
  EXPECT_EQ(DurationText(3723000), "1:02:03");
  EXPECT_EQ(DurationText(-1), "");
}

// Catches tags or times not read from real files (the ID3v2 text cut to the record's 30
// bytes, a WAV file's time from the wrong rate), and a FIFO opened by the reader.
TEST(ListRows, TagsAndPlayingTimesOfRealFiles) {
  TempDir dir;
  const std::string mp3 = dir.File("song.mp3"), wav = dir.File("tone.wav"), fifo = dir.File("pipe.mp3");
  reference_tools::Run("ffmpeg -v error -f lavfi -i sine=duration=2.5 -c:a libmp3lame -b:a 128k '" + mp3 + "'");
  reference_tools::Run("ffmpeg -v error -f lavfi -i sine=duration=1.5:sample_rate=22050 -ac 1 '" + wav + "'");
  const std::string longTitle = "A title much longer than the thirty bytes of the record";
  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.title = longTitle, .artist = "Ünïcödé"};
  ASSERT_TRUE(WriteTagFile(mp3, update));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  const auto read = ReadEntryInfos({mp3, wav, fifo, "http://radio/x.mp3", dir.File("gone.mp3")}, {});
  ASSERT_EQ(read.size(), 5u);
  EXPECT_EQ(read[0].second.title, longTitle);
  EXPECT_EQ(EntryRowText(mp3, &read[0].second), "Ünïcödé \u2013 " + longTitle);
  EXPECT_NEAR(double(read[0].second.durationMs), 2500.0, 100.0);
  EXPECT_EQ(read[1].second.durationMs, 1500);
  EXPECT_EQ(read[1].second.title, "");
  for (size_t i = 2; i < 5; ++i) EXPECT_EQ(read[i].second, EntryInfo{}) << read[i].first;
  // Cancelled: the rest is left out.
  EXPECT_TRUE(ReadEntryInfos({mp3, wav}, [] { return true; }).empty());
}

// Catches a FLAC, Ogg Vorbis, Opus or M4A file shown by its name though it has tags, its
// playing time left unknown or measured as MP3 (a file named ".mp3" included: the content
// decides), and a UTF-8 artist damaged on the way.
TEST(ListRows, RowsAndTimesOfTheOtherFormats) {
  TempDir dir;
  for (const format_test_files::FormatCase& c : format_test_files::kFormats) {
    const std::string path = format_test_files::MakeTaggedFile(
        dir, c, c.name, 3.25, {{"TITLE", "Song of " + std::string(c.name)}, {"ARTIST", "\xc3\x89nsemble \xe6\x9d\xb1"}});
    if (path.empty()) {
      ADD_FAILURE() << "the reference tool cannot write " << c.name;
      continue;
    }
    const std::string misnamed = dir.File(std::string(c.name) + ".mp3");
    ASSERT_EQ(::rename(path.c_str(), misnamed.c_str()), 0);
    const EntryInfo info = ReadEntryInfo(misnamed);
    EXPECT_EQ(EntryRowText(misnamed, &info), "\xc3\x89nsemble \xe6\x9d\xb1 \u2013 Song of " + std::string(c.name));
    EXPECT_NEAR(double(info.durationMs), 3250.0, c.format == AudioFileFormat::M4a ? 60.0 : 5.0) << c.name;
    EXPECT_EQ(DurationText(info.durationMs), "0:03");
  }
}

// Catches Sort by path where the rows show tags, the current entry losing its mark when
// the list is reordered, and a path kept twice.
TEST(ListRows, SortByShownTextKeepsTheCurrentEntry) {
  PlayList list({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/M/2.MP3"});
  list.SetCurrent(3);
  const auto shown = [](const std::string& entry) {
    if (entry == "/m/1.mp3") return std::string("zebra \u2013 one");
    if (entry == "/m/2.mp3") return std::string("Apple \u2013 two");
    return EntryRowText(entry, nullptr);
  };
  list.Select(0, true);
  list.Sort(shown);
  // "2.MP3" and "3.mp3" (file names) before "Apple", "zebra"; the duplicate of "/m/2.mp3"
  // that was current sorts first and stays, current.
  EXPECT_EQ(Texts(list), "/M/2.MP3* /m/3.mp3 /m/1.mp3");
  EXPECT_EQ(list.SelectedCount(), 0u);
  list.ReverseSort(shown);
  EXPECT_EQ(Texts(list), "/m/1.mp3 /m/3.mp3 /M/2.MP3*");
  EXPECT_EQ(list.CurrentIndex(), 2);
}

// Catches dragged rows that land in the wrong place, lose their order or selection, or
// leave the current mark behind; and a shuffle that loses the mark.
TEST(ListRows, DraggedRowsAndShuffleCarryTheMarks) {
  PlayList list({"a", "b", "c", "d", "e"});
  list.SetCurrent(1);
  list.Select(1, true);
  list.Select(3, true);
  list.MoveSelectedTo(5);
  EXPECT_EQ(Texts(list), "a c e b* d");
  EXPECT_EQ(list.SelectedTexts(), (std::vector<std::string>{"b", "d"}));
  list.MoveSelectedTo(0);
  EXPECT_EQ(Texts(list), "b* d a c e");
  // Dropped onto a selected row: before the first unselected one after it.
  list.MoveSelectedTo(1);
  EXPECT_EQ(Texts(list), "b* d a c e");
  list.MoveSelectedTo(4);
  EXPECT_EQ(Texts(list), "a c b* d e");

  int next = 0;
  list.Shuffle([&] { return next++ * 7; });
  EXPECT_EQ(list.Count(), 5u);
  ASSERT_GE(list.CurrentIndex(), 0);
  EXPECT_EQ(list.Entries()[size_t(list.CurrentIndex())].text, "b");
}

// Tests of the main window's texts, throttles and the seek and volume arithmetic.
#include <gtest/gtest.h>

#include "common/audio/output_volume.h"
#include "player/control/now_playing.h"
#include "player/control/player_texts.h"
#include "player/control/transport_math.h"

// Catches a wrong field order, a missing zero padding or a wrong mode name.
TEST(PlayerTexts, StreamInfoAndTime) {
  EXPECT_EQ(StreamInfoText(64, 22050, 3), "064Kbps 22Khz MN");
  EXPECT_EQ(StreamInfoText(320, 48000, 0), "320Kbps 48Khz ST");
  EXPECT_EQ(StreamInfoText(128, 44100, 1), "128Kbps 44Khz JS");
  EXPECT_EQ(StreamInfoText(128, 44100, 2), "128Kbps 44Khz 2C");
  EXPECT_EQ(TimeText(0, 3, 7), "03:07");
  EXPECT_EQ(TimeText(1, 2, 59), "62:59");
  EXPECT_EQ(ApplicationTitle("03:07"), "03:07 zbplayer");
  EXPECT_EQ(MainWindowCaption(), "zbplayer - Zimbar MP3 Player (v1.1b)");
}

// Catches ".mp3" kept in the title field, cut from names too short to carry it, a folder
// shown before the name, the tag ignored; and "YYYY" or empty fields between separators.
TEST(PlayerTexts, TitleFieldAndPopupCaptions) {
  EXPECT_EQ(FileLabelText("/m/Song.MP3", ""), "Song");
  EXPECT_EQ(FileLabelText("/m/.mp3", ""), ".mp3");
  EXPECT_EQ(FileLabelText("/m/a.wav", ""), "a.wav");
  EXPECT_EQ(FileLabelText("http://radio.example/live.mp3", ""), "http://radio.example/live.mp3");
  EXPECT_EQ(FileLabelText("/m/Song.mp3", "A \u2013 C"), "A \u2013 C");
  EXPECT_EQ(TagText({"Title", "Artist", "Album", "2001"}), "Artist \u2013 Title (Album, 2001)");
  EXPECT_EQ(TagText({"Title", "Artist", "", "YYYY"}), "Artist \u2013 Title");
  EXPECT_EQ(TagText({"Title", "Artist", "  ", "1999"}), "Artist \u2013 Title (1999)");
  EXPECT_EQ(TagText({"Title", "", "Album", "0000"}), "Title (Album)");
  EXPECT_EQ(TagText({"", "Artist", "Album", "2001"}), "") << "no title: the file name shows";
  EXPECT_EQ(TagText({"", "", "", "YYYY"}), "");
  EXPECT_EQ(PopupCaption("/m/Song.Mp3"), "Song");
  EXPECT_EQ(PopupCaption("/m/Tone.wav"), "Tone.wav");
  EXPECT_EQ(PopupCaption("/m/Tone.aac"), "Tone.aac");
}

// Catches an info text shown more than once in two seconds, a time text more than once a
// second, and a reset that does not let the next text through.
TEST(PlayerTexts, Throttles) {
  TwoSecondThrottle info;
  EXPECT_TRUE(info.Pass(100));
  EXPECT_FALSE(info.Pass(100));
  EXPECT_FALSE(info.Pass(101));
  EXPECT_TRUE(info.Pass(102));
  info.Reset();
  EXPECT_TRUE(info.Pass(102));
  SecondThrottle time;
  EXPECT_TRUE(time.Pass(5));
  EXPECT_FALSE(time.Pass(5));
  EXPECT_TRUE(time.Pass(6));
}

// Catches seeks before the start or past the end, an unsigned wrap at the start, volume
// levels outside 0..10, and a top level short of full volume (it would scale every sample
// by 65530/65536 instead of leaving it unchanged).
TEST(TransportMath, SeekAndVolumeLimits) {
  EXPECT_EQ(ReverseTarget(4), 0u);
  EXPECT_EQ(ReverseTarget(10), 0u);
  EXPECT_EQ(ReverseTarget(25), 15u);
  EXPECT_EQ(ForwardTarget(95, 100), 99u);
  EXPECT_EQ(ForwardTarget(90, 100), 100u);
  EXPECT_EQ(ForwardTarget(20, 100), 30u);
  EXPECT_EQ(SteppedVolumeLevel(0, -1), 0);
  EXPECT_EQ(SteppedVolumeLevel(10, +1), 10);
  EXPECT_EQ(SteppedVolumeLevel(4, +1), 5);
  EXPECT_EQ(VolumeLevelOf(65535), 10);
  EXPECT_EQ(VolumeLevelOf(6552), 0);
  EXPECT_EQ(VolumeOfLevel(3), 3u * 6553u);
  EXPECT_EQ(VolumeOfLevel(kVolumeLevels), kVolumeFull);
  EXPECT_EQ(VolumeLevelOf(VolumeOfLevel(kVolumeLevels)), kVolumeLevels);
}

// Catches a tag ignored, a stream title not shown, and a length made up for a stream.
TEST(NowPlaying, TagElseStreamTitleElseFileName) {
  EXPECT_EQ(DescribeNowPlaying("/m/a.mp3", {"T", "Ar", "Al", "2000"}, "", 61),
            (NowPlaying{"/m/a.mp3", "T", "Ar", "Al", 61000000}));
  EXPECT_EQ(DescribeNowPlaying("/m/a.mp3", {}, "", 0), (NowPlaying{"/m/a.mp3", "a.mp3", "", "", 0}));
  EXPECT_EQ(DescribeNowPlaying("http://radio/live", {}, "Band - Song", 0),
            (NowPlaying{"http://radio/live", "Band - Song", "", "", 0}));
  EXPECT_EQ(DescribeNowPlaying("", {}, "", 0), NowPlaying{});
}

// Catches a failure whose reason the narrow info field never shows: the entry's long path
// filled the field and the reason behind it was cut away.
TEST(PlayerTexts, InfoFieldShowsTheReasonOfAFailure) {
  EXPECT_EQ(InfoFieldError("Cannot play /tmp/long/folder/p: it is a named pipe (FIFO), not a regular file",
                           "/tmp/long/folder/p"),
            "It is a named pipe (FIFO), not a regular file");
  EXPECT_EQ(InfoFieldError("Cannot open http://radio:8000/live: no answer within 10.0 s", "http://radio:8000/live"),
            "No answer within 10.0 s");
  // Messages that do not name the entry, or name it without a reason, are shown whole.
  EXPECT_EQ(InfoFieldError("Cannot Start MP3 Decoder DLL", "/m/a.mp3"), "Cannot Start MP3 Decoder DLL");
  EXPECT_EQ(InfoFieldError("Cannot play /m/a.mp3: ", "/m/a.mp3"), "Cannot play /m/a.mp3: ");
  EXPECT_EQ(InfoFieldError("Cannot load libzbaaclib.so: gone", ""), "Cannot load libzbaaclib.so: gone");
}

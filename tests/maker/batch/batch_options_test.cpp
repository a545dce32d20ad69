// Options of the terminal front end.
#include "maker/batch/batch_options.h"

#include <gtest/gtest.h>

#include "common/version.h"

// Catches front-end options leaking into the maker's own command line, or its switches
// and files being taken for front-end options.
TEST(BatchOptions, SplitsFrontEndOptionsFromTheJobArguments) {
  auto parsed = ParseBatchOptions({"--batch", "-128", "--aac", "a.wav", "-js", "--yes", "--quiet", "-", "--",
                                   "--odd.wav", "-160", "b.wav"});
  ASSERT_TRUE(parsed.Ok());
  const BatchOptions& o = parsed.Value();
  EXPECT_TRUE(o.batch);
  EXPECT_TRUE(o.aac);
  EXPECT_TRUE(o.yes);
  EXPECT_TRUE(o.quiet);
  EXPECT_FALSE(o.mp32wav);
  // After "--" a name that starts with '-' is a file, never a switch.
  EXPECT_EQ(o.jobArgs, (std::vector<std::string>{"-128", "a.wav", "-js", "-", "./--odd.wav", "./-160", "b.wav"}));
}

// Catches a mistyped or out-of-table switch of the maker taken for a file name (so the
// run went on without it), or a switch the maker applies refused.
TEST(BatchOptions, MakerSwitchesMustBeOnesThatDoSomething) {
  for (const char* good : {"-mono", "-STEREO", "-js", "-delete", "-8", "-144", "-320", "-0128", "-vbr1", "-VBR10", "-vbr04"})
    EXPECT_TRUE(ParseBatchOptions({"--batch", good, "a.wav"}).Ok()) << good;
  const std::pair<const char*, const char*> bad[] = {
      {"-vbr11", "bad quality in -vbr11: -vbrN takes 1 (highest quality) to 10 (smallest files)"},
      {"-vbr0", "bad quality in -vbr0: -vbrN takes 1 (highest quality) to 10 (smallest files)"},
      {"-vbr+4", "bad quality in -vbr+4: -vbrN takes 1 (highest quality) to 10 (smallest files)"},
      {"-128k", "unknown option -128k"},
      {"-q", "unknown option -q"},
      {"-V", "unknown option -V"},
      {"-100", "-100 is no bit rate of the MPEG-1 table (32 to 320 kbit/s) or the MPEG-2 table (8 to 160 kbit/s)"},
      {"-0", "-0 is no bit rate of the MPEG-1 table (32 to 320 kbit/s) or the MPEG-2 table (8 to 160 kbit/s)"},
      {"-1010", "-1010 is no bit rate of the MPEG-1 table (32 to 320 kbit/s) or the MPEG-2 table (8 to 160 kbit/s)"},
  };
  for (const auto& [arg, message] : bad) {
    auto parsed = ParseBatchOptions({"--batch", "a.wav", arg, "b.wav"});
    ASSERT_FALSE(parsed.Ok()) << arg;
    EXPECT_EQ(parsed.Error().Message(), message);
  }
  EXPECT_EQ(UsageErrorLine("unknown option -q"), "zbmaker: unknown option -q (see zbmaker --help)");
}

// Catches --help, -h or --version that do not answer when something else on the line is
// wrong, or that are taken from a value or from the files after "--".
TEST(BatchOptions, HelpAndVersionAnswerWhateverElseIsWrong) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-h"}, {"--batch", "--help"}, {"--bogus", "-h"}, {"-q", "--help"}, {"--cd2mp3", "--cd2wav", "-h"},
           {"--external", "x", "--help"}}) {
    auto parsed = ParseBatchOptions(args);
    ASSERT_TRUE(parsed.Ok()) << args[0];
    EXPECT_TRUE(parsed.Value().help) << args[0];
  }
  auto version = ParseBatchOptions({"--batch", "-vbr11", "--version"});
  ASSERT_TRUE(version.Ok());
  EXPECT_TRUE(version.Value().version);
  EXPECT_EQ(VersionText(), std::string("zbmaker (Zimbar audio toolkit) ") + kZimbarVersion);
  auto title = ParseBatchOptions({"--title", "--help", "--", "-h"});
  ASSERT_TRUE(title.Ok());
  EXPECT_FALSE(title.Value().help);
  EXPECT_EQ(title.Value().title, "--help");
  EXPECT_FALSE(ParseBatchOptions({"--help=1"}).Ok());
}

// Catches a slot outside 0..9, a bad server address, a missing value, an unknown option or
// two operations at once being accepted.
TEST(BatchOptions, RejectsBadValuesAndUnknownOptions) {
  auto both = ParseBatchOptions({"--external", "3", "--external=9"});
  ASSERT_TRUE(both.Ok());
  EXPECT_EQ(both.Value().external, 9);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--external", "10"}, {"--external", "x"}, {"--external"}, {"--bogus"}, {"--yes=1"},
           {"--cddb-server", "ftp://host"}, {"--cddb-server", "cddbp://"}, {"--track-names="},
           {"--musicbrainz-server", "cddbp://host"}, {"--musicbrainz-server", "https://"}, {"--musicbrainz=1"},
           {"--cddb", "--musicbrainz"}, {"--cddb-server", "http://h", "--musicbrainz-server", "http://h"},
           {"--cd2mp3", "--cd2wav"}, {"--mp32wav", "--cd2mp3"}, {"--jobs", "0"}, {"--jobs", "x"}, {"--jobs=65"},
           {"--jobs", "-1"}, {"--jobs", "2x"}, {"--jobs"}}) {
    auto parsed = ParseBatchOptions(args);
    EXPECT_FALSE(parsed.Ok()) << args[0];
  }
  EXPECT_EQ(ParseBatchOptions({"--bogus"}).Error().Message(), "unknown option --bogus");
  EXPECT_EQ(ParseBatchOptions({"--jobs", "0"}).Error().Message(), "--jobs needs a number of conversions at once, 1..64");
  EXPECT_EQ(ParseBatchOptions({"--jobs=3", "a.wav"}).Value().jobs, 3);
  EXPECT_FALSE(ParseBatchOptions({"a.wav"}).Value().jobs) << "without --jobs the run picks the processor count";
  auto server = ParseBatchOptions({"--cddb-server", "HTTP://host:8080"});
  ASSERT_TRUE(server.Ok());
  EXPECT_TRUE(server.Value().cddb) << "--cddb-server implies the lookup";
  auto web = ParseBatchOptions({"--musicbrainz-server=HTTPS://mb.example.org"});
  ASSERT_TRUE(web.Ok());
  EXPECT_TRUE(web.Value().musicBrainz) << "--musicbrainz-server implies the lookup";
  EXPECT_EQ(web.Value().musicBrainzServer, "HTTPS://mb.example.org");
}

// Catches options missing from the usage text.
TEST(BatchOptions, UsageListsEveryOption) {
  const std::string usage = BatchUsage();
  for (const char* name : {"--batch", "--mp32wav", "--aac", "--external N", "--yes", "-delete", "-vbrN", "--cd2mp3",
                           "--cd2wav", "--cd-image FILE", "--drive N", "--list-drives", "--tracks LIST", "--output DIR", "--name N=TEXT",
                           "--id3", "--pattern P", "--jobs N", "[3/12 a.wav]", "--artist TEXT", "--cddb ",
                           "--cddb-server URL", "--musicbrainz ", "--musicbrainz-server URL", "--track-names FILE", "-mono", "-stereo", "-js", "-N ", "--help",
                           "--quiet", "--version", "1 is the highest", "130 after Ctrl-C", "standard error",
                           "  -- ", "--option=VALUE", "Exit status"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  // Every help text starts in the same column.
  for (const char* line : {"  -delete             delete", "  --help              show", "  -N                  bit",
                           "  --musicbrainz-server URL\n                      MusicBrainz"})
    EXPECT_NE(usage.find(line), std::string::npos) << line;
}

// Catches track lists read wrongly, or bad ones accepted.
TEST(BatchOptions, TrackLists) {
  EXPECT_EQ(ParseTrackList("1,3-5,9"), (std::vector<int>{1, 3, 4, 5, 9}));
  EXPECT_EQ(ParseTrackList("99"), (std::vector<int>{99}));
  for (const char* bad : {"", "0", "100", "5-3", "1,", "a", "1-", "-2", "1;2", "3-x"})
    EXPECT_TRUE(ParseTrackList(bad).empty()) << bad;
  auto parsed = ParseBatchOptions({"--cd2mp3", "--cd-image", "a.cue", "--cd-image=b.cue", "--drive", "2", "--tracks=2-3"});
  ASSERT_TRUE(parsed.Ok());
  EXPECT_TRUE(parsed.Value().cd2mp3);
  EXPECT_EQ(parsed.Value().cdImages, (std::vector<std::string>{"a.cue", "b.cue"}));
  EXPECT_EQ(parsed.Value().drive, 2);
  EXPECT_EQ(parsed.Value().tracks, (std::vector<int>{2, 3}));
  EXPECT_FALSE(ParseBatchOptions({"--tracks", "0"}).Ok());
  auto named = ParseBatchOptions({"--name", "3=A=B", "--name=12=", "--id3", "--pattern", "$track#$"});
  ASSERT_TRUE(named.Ok());
  EXPECT_EQ(named.Value().trackNames.at(3), "A=B");
  EXPECT_EQ(named.Value().trackNames.at(12), "");
  EXPECT_TRUE(named.Value().id3);
  for (const char* bad : {"=x", "0=x", "100=x", "x=y", "5"}) EXPECT_FALSE(ParseBatchOptions({"--name", bad}).Ok()) << bad;
}

// Catches --adts taken for a file or passed on to the maker's command line, a value
// accepted after it, ADTS on without being asked for, or the option missing from the usage.
TEST(BatchOptions, AdtsIsAFlagOfTheFrontEnd) {
  auto parsed = ParseBatchOptions({"--batch", "--aac", "--adts", "a.wav"});
  ASSERT_TRUE(parsed.Ok());
  EXPECT_TRUE(parsed.Value().adts);
  EXPECT_EQ(parsed.Value().jobArgs, (std::vector<std::string>{"a.wav"}));
  EXPECT_FALSE(ParseBatchOptions({"--batch", "--aac", "a.wav"}).Value().adts);
  EXPECT_EQ(ParseBatchOptions({"--adts=1"}).Error().Message(), "--adts takes no value");
  EXPECT_NE(BatchUsage().find("  --adts              write AAC files as ADTS frames"), std::string::npos);
}

// Catches the proof options of a CD run lost or mixed up, values out of range taken, and
// combinations that cannot both hold (secure and burst, burst without AccurateRip,
// --find-offset with a rip or with the offset it is to find).
TEST(BatchOptions, VerifiedRipOptions) {
  auto parsed = ParseBatchOptions({"--batch", "--cd2wav", "--accuraterip-server", "http://127.0.0.1:8080", "--read-offset",
                                   "-667", "--burst", "--log", "x.log"});
  ASSERT_TRUE(parsed.Ok()) << parsed.Error().Message();
  const BatchOptions& o = parsed.Value();
  EXPECT_EQ(o.accurateRipServer, "http://127.0.0.1:8080");
  EXPECT_EQ(o.accurateRip, true) << "a server of the run implies --accuraterip";
  EXPECT_EQ(o.readOffset, -667);
  EXPECT_TRUE(o.burst);
  EXPECT_FALSE(o.secure);
  EXPECT_EQ(o.ripLogFile, "x.log");

  auto off = ParseBatchOptions({"--batch", "--cd2mp3", "--no-accuraterip", "--secure"});
  ASSERT_TRUE(off.Ok());
  EXPECT_EQ(off.Value().accurateRip, false);
  EXPECT_TRUE(off.Value().secure);
  EXPECT_FALSE(ParseBatchOptions({"--batch", "--cd2mp3"}).Value().accurateRip.has_value());

  auto find = ParseBatchOptions({"--batch", "--find-offset", "--cd-image", "d.cue"});
  ASSERT_TRUE(find.Ok());
  EXPECT_TRUE(find.Value().findOffset);
  auto verify = ParseBatchOptions({"--verify-log", "rip.log"});
  ASSERT_TRUE(verify.Ok());
  EXPECT_EQ(verify.Value().verifyLog, "rip.log");

  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"--batch", "--cd2wav", "--read-offset", "12x"}, "--read-offset needs a number of samples, -99999..99999"},
      {{"--batch", "--cd2wav", "--read-offset", "100000"}, "--read-offset needs a number of samples, -99999..99999"},
      {{"--batch", "--cd2wav", "--accuraterip-server", "ftp://x"},
       "--accuraterip-server needs http://host[:port] or https://host[:port]"},
      {{"--batch", "--cd2wav", "--secure", "--burst"},
       "choose one of --secure and --burst: --burst re-reads securely only what is not accurate"},
      {{"--batch", "--cd2wav", "--burst", "--no-accuraterip"},
       "--burst verifies with AccurateRip; it cannot go with --no-accuraterip"},
      {{"--batch", "--cd2wav", "--find-offset"}, "--find-offset reads the disc to find the offset; rip in a run of its own"},
      {{"--batch", "--find-offset", "--read-offset", "6"},
       "--find-offset finds the offset that --read-offset would give; choose one"},
      {{"--batch", "--cd2wav", "--log="}, "--log needs a file"},
      {{"--verify-log"}, "--verify-log needs a value FILE"},
  };
  for (const auto& [args, message] : bad) {
    auto failed = ParseBatchOptions(args);
    ASSERT_FALSE(failed.Ok()) << message;
    EXPECT_EQ(failed.Error().Message(), message);
  }
  const std::string usage = BatchUsage();
  for (const char* option : {"--accuraterip", "--no-accuraterip", "--accuraterip-server URL", "--read-offset N",
                             "--secure", "--burst", "--log FILE", "--find-offset", "--verify-log FILE"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// Catches a format switch or its setting lost or mixed up, values outside their ranges
// taken, two formats at once accepted (one would be passed over), ReplayGain switched
// without being asked, and options missing from the usage.
TEST(BatchOptions, FormatsAndTheirSettings) {
  auto parsed = ParseBatchOptions({"--batch", "--flac", "--flac-level", "0", "--vorbis-quality=-1", "--opus-bitrate",
                                   "512", "--no-replaygain", "a.wav"});
  ASSERT_TRUE(parsed.Ok()) << parsed.Error().Message();
  const BatchOptions& o = parsed.Value();
  EXPECT_TRUE(o.flac);
  EXPECT_FALSE(o.vorbis || o.opus || o.m4a || o.aac);
  EXPECT_EQ(o.flacLevel, 0);
  EXPECT_EQ(o.vorbisQuality, -1);
  EXPECT_EQ(o.opusBitRate, 512);
  EXPECT_EQ(o.replayGain, false);
  EXPECT_EQ(o.jobArgs, (std::vector<std::string>{"a.wav"}));
  for (const char* format : {"--m4a", "--vorbis", "--opus"}) {
    auto one = ParseBatchOptions({"--batch", format, "--replaygain"});
    ASSERT_TRUE(one.Ok()) << format;
    EXPECT_EQ(one.Value().m4a, format == std::string("--m4a"));
    EXPECT_EQ(one.Value().vorbis, format == std::string("--vorbis"));
    EXPECT_EQ(one.Value().opus, format == std::string("--opus"));
    EXPECT_EQ(one.Value().replayGain, true);
  }
  auto plain = ParseBatchOptions({"--batch", "a.wav"});
  ASSERT_TRUE(plain.Ok());
  EXPECT_FALSE(plain.Value().replayGain.has_value());
  EXPECT_FALSE(plain.Value().flacLevel || plain.Value().vorbisQuality || plain.Value().opusBitRate);
  // The external program still replaces the encoder chosen, as with --aac.
  EXPECT_TRUE(ParseBatchOptions({"--batch", "--flac", "--external", "2"}).Ok());

  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"--flac-level", "9"}, "--flac-level needs a compression level 0..8 (8 makes the smallest files)"},
      {{"--flac-level", "-1"}, "--flac-level needs a compression level 0..8 (8 makes the smallest files)"},
      {{"--flac-level=5x"}, "--flac-level needs a compression level 0..8 (8 makes the smallest files)"},
      {{"--vorbis-quality", "11"}, "--vorbis-quality needs a quality -1..10 (10 is the best)"},
      {{"--vorbis-quality", "-2"}, "--vorbis-quality needs a quality -1..10 (10 is the best)"},
      {{"--vorbis-quality", "4.5"}, "--vorbis-quality needs a quality -1..10 (10 is the best)"},
      {{"--opus-bitrate", "5"}, "--opus-bitrate needs a bit rate in kbit/s, 6..512"},
      {{"--opus-bitrate", "513"}, "--opus-bitrate needs a bit rate in kbit/s, 6..512"},
      {{"--opus-bitrate"}, "--opus-bitrate needs a value N"},
      {{"--flac=1"}, "--flac takes no value"},
      {{"--flac", "--opus"}, "choose one of --aac, --m4a, --flac, --vorbis and --opus: a run encodes to one format"},
      {{"--aac", "--m4a"}, "choose one of --aac, --m4a, --flac, --vorbis and --opus: a run encodes to one format"},
  };
  for (const auto& [args, message] : bad) {
    auto failed = ParseBatchOptions(args);
    ASSERT_FALSE(failed.Ok()) << message;
    EXPECT_EQ(failed.Error().Message(), message);
  }
  const std::string usage = BatchUsage();
  for (const char* line : {"  --m4a               encode to M4A", "  --flac              encode to FLAC",
                           "  --vorbis            encode to Ogg Vorbis", "  --opus              encode to Opus",
                           "  --flac-level N      FLAC compression level 0..8",
                           "  --vorbis-quality Q  Ogg Vorbis quality -1..10",
                           "  --opus-bitrate N    Opus bit rate 6..512 kbit/s", "  --replaygain        ",
                           "  --no-replaygain     ", "M4A, FLAC, Ogg Vorbis, Opus"})
    EXPECT_NE(usage.find(line), std::string::npos) << line;
}

// zbmaker --batch run as a program against the real encoder and decoder libraries.
#include "batch_test_support.h"
#include "common/version.h"
#include "tests/common/saving_process.h"

#include <sstream>
#include <vector>

using namespace batch_test;

// Catches outputs written elsewhere than beside the inputs, a wrong rate or layer, and
// missing log lines of each file.
TEST_F(BatchEndToEnd, TwoWavsBecome128kMp3BesideTheInputs) {
  MakeWav("a.wav");
  MakeWav("b.wav", 1);
  const RunResult r = Maker("--batch -128 a.wav b.wav");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  for (const char* name : {"a.mp3", "b.mp3"}) {
    const std::string info = Probe(dir + "/" + name, "codec_name,sample_rate,bit_rate,channels");
    EXPECT_NE(info.find("codec_name=mp3"), std::string::npos) << info;
    EXPECT_NE(info.find("sample_rate=44100"), std::string::npos) << info;  // MPEG-1
    EXPECT_NE(info.find("bit_rate=128000"), std::string::npos) << info;
    EXPECT_NE(info.find("channels=2"), std::string::npos) << info;
  }
  EXPECT_EQ(Count(r.output, "Stereo, 128 kbps"), 2);
  EXPECT_EQ(Count(r.output, "Encoding: " + dir + "/"), 2);
  EXPECT_EQ(Count(r.output, "To: " + dir + "/"), 2);
  EXPECT_EQ(Count(r.output, "    Done ("), 2);
  EXPECT_EQ(Count(r.output, "OK:\t"), 2);
  EXPECT_TRUE(std::filesystem::exists(dir + "/home/zbmaker.INI"));
}

// Catches -mono not halving the rate to a mono stream, and options written back.
TEST_F(BatchEndToEnd, MonoGives64kMono) {
  MakeWav("m.wav");
  const RunResult r = Maker("--batch -mono m.wav");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::string info = Probe(dir + "/m.mp3", "bit_rate,channels");
  EXPECT_NE(info.find("bit_rate=64000"), std::string::npos) << info;
  EXPECT_NE(info.find("channels=1"), std::string::npos) << info;
  std::ifstream ini(dir + "/home/zbmaker.INI");
  const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Channels=1"), std::string::npos) << "a batch option reached the settings file";
}

// Catches --aac not switching the encoder, or a first AAC run writing ADIF, which players
// built on ffmpeg refuse or misread: with fresh settings the file is ADTS that ffprobe reads
// at the input's rate and length and ffmpeg decodes without one complaint. A settings file
// that chose ADIF keeps it.
TEST_F(BatchEndToEnd, AacWithFreshSettingsWritesAdtsThatFfmpegReadsAndAdifStaysSelectable) {
  MakeWav("c.wav", 1);
  const RunResult r = Maker("--batch --aac c.wav");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  std::ifstream in(dir + "/c.aac", std::ios::binary);
  unsigned char head[2] = {};
  in.read(reinterpret_cast<char*>(head), 2);
  EXPECT_EQ(head[0], 0xFF);
  EXPECT_EQ(head[1] & 0xF6, 0xF0) << "not an ADTS sync word";
  const std::string info = Probe(dir + "/c.aac", "codec_name,sample_rate");
  for (const char* entry : {"codec_name=aac", "sample_rate=44100"}) EXPECT_NE(info.find(entry), std::string::npos) << info;
  RunShell("ffmpeg -v error -i '" + dir + "/c.aac' -f null - > '" + dir + "/complaints.txt' 2>&1");
  std::ifstream complaints(dir + "/complaints.txt");
  const std::string said((std::istreambuf_iterator<char>(complaints)), std::istreambuf_iterator<char>());
  EXPECT_EQ(said, "");
  RunShell("ffmpeg -v error -y -i '" + dir + "/c.aac' '" + dir + "/c-ffmpeg.wav'");
  const std::string samples = Probe(dir + "/c-ffmpeg.wav", "duration_ts");
  const long frames = std::atol(samples.substr(samples.find('=') + 1).c_str());
  // One second and the encoder delay of 1024 frames, at most one block of padding.
  EXPECT_GE(frames, 44100 + 1024) << samples;
  EXPECT_LT(frames, 44100 + 2048) << samples;

  std::ofstream(dir + "/home/zbmaker.INI") << "[Options]\nAACUseADTS=0\n";
  EXPECT_EQ(Maker("--batch --aac --yes c.wav").exitCode, 0);
  std::ifstream adif(dir + "/c.aac", std::ios::binary);
  char magic[4] = {};
  adif.read(magic, 4);
  EXPECT_EQ(std::string(magic, 4), "ADIF");
  std::ifstream ini(dir + "/home/zbmaker.INI");
  const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("AACUseADTS=0"), std::string::npos) << "the chosen ADIF was not kept";
}

// Catches --adts not reaching the encoder (the file must be ADTS frames, not ADIF), a
// stream that ffmpeg or zbaacdec cannot decode whole, or --adts kept in the settings file.
TEST_F(BatchEndToEnd, AdtsWritesFramesThatFfmpegAndZbaacdecDecodeAlike) {
  MakeWav("t.wav", 2);
  // Settings that chose ADIF: --adts applies to this run only.
  std::filesystem::create_directories(dir + "/home");
  std::ofstream(dir + "/home/zbmaker.INI") << "[Options]\nAACUseADTS=0\n";
  const RunResult r = Maker("--batch --aac --adts t.wav");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, "Stereo, 128 kbps, LTP, ADTS"), 1) << r.output;
  std::ifstream in(dir + "/t.aac", std::ios::binary);
  unsigned char head[2] = {};
  in.read(reinterpret_cast<char*>(head), 2);
  EXPECT_EQ(head[0], 0xFF);
  EXPECT_EQ(head[1], 0xF1);
  const std::string info = Probe(dir + "/t.aac", "codec_name,sample_rate,channels");
  for (const char* entry : {"codec_name=aac", "sample_rate=44100", "channels=2"})
    EXPECT_NE(info.find(entry), std::string::npos) << info;

  RunShell("ffmpeg -v error -y -i '" + dir + "/t.aac' '" + dir + "/ffmpeg.wav'");
  RunShell("'" + kBin + "/zbaacdec' '" + dir + "/t.aac' '" + dir + "/ours.wav'");
  std::vector<long> frames;
  for (const char* name : {"ffmpeg.wav", "ours.wav"}) {
    // Two seconds and the encoder delay of 1024 frames, at most one block of padding.
    const std::string samples = Probe(dir + "/" + name, "duration_ts");
    frames.push_back(std::atol(samples.substr(samples.find('=') + 1).c_str()));
    EXPECT_GE(frames.back(), 88200 + 1024) << name << ": " << samples;
    EXPECT_LT(frames.back(), 88200 + 2048) << name << ": " << samples;
  }
  EXPECT_EQ(frames[0], frames[1]) << "ffmpeg and zbaacdec decode different lengths";

  std::ifstream ini(dir + "/home/zbmaker.INI");
  const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("AACUseADTS=0"), std::string::npos) << "--adts reached the settings file";
}

// Catches a named file that does not exist passing unnoticed, a folder reported as a
// missing file, or a run that converted nothing ending with success.
TEST_F(BatchEndToEnd, MissingFileIsReportedAndFailsTheRun) {
  MakeWav("d.wav", 1);
  std::filesystem::create_directory(dir + "/sub");
  RunResult r = Maker("--batch nothere.wav sub -- -vbr11");
  EXPECT_NE(r.exitCode, 0);
  for (const char* line : {"zbmaker: no such file: nothere.wav", "zbmaker: not a file but a folder: sub",
                           "zbmaker: no such file: ./-vbr11", "zbmaker: nothing to convert"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
  r = Maker("--batch d.wav nothere.wav");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(dir + "/d.mp3")) << "the existing file must still be converted";
}

// Catches "no such file" for names that exist but are no file to convert (a link to
// /dev/zero, a FIFO, a folder through a link) and for links that lead nowhere: each is
// named for what it is, or for what stands in its way.
TEST_F(BatchEndToEnd, WhatIsNoFileIsNamedForWhatItIs) {
  std::filesystem::create_directory(dir + "/sub");
  RunShell("cd '" + dir + "' && ln -s /dev/zero zero.wav && ln -s sub folder.wav && mkfifo fifo.wav && "
           "ln -s gone.wav dangling.wav && ln -s loop.wav loop.wav");
  const RunResult r = Maker("--batch zero.wav folder.wav fifo.wav dangling.wav loop.wav sub");
  EXPECT_NE(r.exitCode, 0);
  for (const char* line : {"zbmaker: not a regular file but a character device: zero.wav (a link to /dev/zero)\n",
                           "zbmaker: not a file but a folder: folder.wav (a link to sub)\n",
                           "zbmaker: not a regular file but a named pipe (FIFO): fifo.wav\n",
                           "zbmaker: a link to nothing (gone.wav does not exist): dangling.wav\n",
                           "zbmaker: a link that leads round in a circle: loop.wav\n",
                           "zbmaker: not a file but a folder: sub\n", "zbmaker: nothing to convert\n"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
  EXPECT_EQ(Count(r.output, "no such file"), 0) << r.output;
}

// Catches "no such file" for a file in a folder the user may not open, and a file that
// cannot be read converted without the reason. Root passes every permission check through
// two capabilities: run as root, the program runs without them (not as another user, who
// could not reach a build under /root).
TEST_F(BatchEndToEnd, NoPermissionIsNamedAsSuch) {
  std::filesystem::create_directory(dir + "/closed");
  MakeWav("closed/x.wav", 1);
  MakeWav("unreadable.wav", 1);
  std::filesystem::permissions(dir + "/closed", std::filesystem::perms::none);
  std::filesystem::permissions(dir + "/unreadable.wav", std::filesystem::perms::owner_write);
  std::string user;
  if (geteuid() == 0) {
    user = "setpriv --inh-caps=-dac_override,-dac_read_search "
           "--bounding-set=-dac_override,-dac_read_search env ";
  }
  const RunResult r = RunShell(MakerCommand("--batch closed/x.wav unreadable.wav", user));
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.output.find("zbmaker: no permission to reach closed/x.wav (a folder on its way cannot be opened)\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("zbmaker: cannot read " + dir + "/unreadable.wav: Permission denied\n"), std::string::npos)
      << r.output;
  EXPECT_EQ(Count(r.output, "no such file"), 0) << r.output;
  std::filesystem::permissions(dir + "/closed", std::filesystem::perms::owner_all);
}

// Catches the hidden temporary files of a maker killed while it saved staying for ever, and
// a start that removes more than those: a save another maker is still doing (a window,
// a second run) and names that only look like them stay.
TEST_F(BatchEndToEnd, StartRemovesTheTemporaryFilesOfAKilledSave) {
  const std::string home = dir + "/home";
  std::filesystem::create_directory(home);
  std::ofstream(home + "/zbmaker.INI") << "[Options]\nVersion=66369\n";
  const std::string desktop = dir + "/h/Desktop";
  std::filesystem::create_directories(desktop);
  SavingProcess killed(home + "/zbmaker.INI"), killedLanguage(home + "/Language.DAT"), live(home + "/zbmaker.INI"),
      killedShortcut(desktop + "/Zimbar MP3 Maker.desktop");
  ASSERT_FALSE(killed.TemporaryPath().empty());
  ASSERT_FALSE(killedLanguage.TemporaryPath().empty());
  killed.Kill();
  killedLanguage.Kill();
  killedShortcut.Kill();
  ASSERT_TRUE(std::filesystem::exists(killedShortcut.TemporaryPath()));
  for (const char* name : {".zbmaker.INI.bak", ".zbmaker.INI.abc12", ".zbplayer.ini.abc123", "zbmaker.INI.abc123"})
    std::ofstream(home + "/" + name) << "not the maker's";
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(home)) kept.push_back(entry.path().string());
  std::erase(kept, killed.TemporaryPath());
  std::erase(kept, killedLanguage.TemporaryPath());

  const RunResult r =
      RunShell(MakerCommand("--batch nothere.wav", "HOME='" + dir + "/h' XDG_CONFIG_HOME='" + dir + "/h/.config' "));
  EXPECT_NE(r.output.find("zbmaker: no such file: nothere.wav"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(killedShortcut.TemporaryPath()));
  std::vector<std::string> after;
  for (const auto& entry : std::filesystem::directory_iterator(home)) after.push_back(entry.path().string());
  std::sort(kept.begin(), kept.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, kept);
  EXPECT_TRUE(std::filesystem::exists(live.TemporaryPath()));
}

// Catches a zbmaker.INI of a million newlines read whole at every run (237 MB, 11 s) and
// its settings then lost: it is refused with the reason, the run converts with the
// defaults, and the file is kept aside byte for byte.
TEST_F(BatchEndToEnd, SettingsFileBeyondTheLimitsIsRefusedAndKeptAside) {
  MakeWav("d.wav", 1);
  const std::string home = dir + "/home";
  std::filesystem::create_directory(home);
  const std::string junk = "[Options]\nMPEGMode=3\n" + std::string(1000000, '\n');
  std::ofstream(home + "/zbmaker.INI") << junk;
  const RunResult r = Maker("--batch d.wav");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::string ini = home + "/zbmaker.INI";
  EXPECT_NE(r.output.find("zbmaker: cannot read " + ini + ", using the defaults: Not a settings file: " + ini +
                          ": it has more than 16384 lines; it was renamed to " + ini + ".refused\n"),
            std::string::npos)
      << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/d.mp3")) << "the defaults encode MP3";
  EXPECT_EQ(Bytes(home + "/zbmaker.INI.refused"), junk);
}

// Catches an option that the run would pass over in silence: a CD option in a file run
// (with --output the user expects the MP3 there, but files are converted beside
// themselves), an encoder choice in a run that does not encode, -delete in a decode.
TEST_F(BatchEndToEnd, OptionsTheRunWouldIgnoreAreRefused) {
  MakeWav("o.wav", 1);
  RunShell("cp '" + dir + "/o.wav' '" + dir + "/o.mp3'");
  const std::pair<const char*, const char*> cases[] = {
      {"--output out o.wav", "zbmaker: --output is for CD runs"},
      {"--mp32wav --aac o.mp3", "zbmaker: --aac chooses the encoder"},
      {"--mp32wav -delete o.mp3", "zbmaker: -delete deletes the WAV files of an encode"},
      {"--adts o.wav", "zbmaker: --adts is for AAC encodes"},
      {"--aac --external 0 --adts o.wav", "zbmaker: --adts is for AAC encodes"},
      {"--mp32wav --adts o.mp3", "zbmaker: --adts is for AAC encodes"},
      {"--mp32wav --flac o.mp3", "zbmaker: --flac chooses the encoder"},
      {"--flac-level 3 o.wav", "zbmaker: --flac-level is for FLAC encodes"},
      {"--opus --vorbis-quality 3 o.wav", "zbmaker: --vorbis-quality is for Ogg Vorbis encodes"},
      {"--m4a --opus-bitrate 64 o.wav", "zbmaker: --opus-bitrate is for Opus encodes"},
      {"--mp32wav --replaygain o.mp3", "zbmaker: --replaygain is for runs that encode"},
      {"--aac --replaygain o.wav", "zbmaker: --replaygain is for MP3, M4A, FLAC, Ogg Vorbis and Opus encodes"}};
  for (const auto& [args, message] : cases) {
    const RunResult r = Maker(std::string("--batch ") + args);
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find(message), std::string::npos) << r.output;
  }
  EXPECT_EQ(std::filesystem::file_size(dir + "/o.mp3"), std::filesystem::file_size(dir + "/o.wav"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/out"));
  for (const char* output : {"/o.aac", "/o.flac", "/o.ogg", "/o.opus", "/o.m4a"})
    EXPECT_FALSE(std::filesystem::exists(dir + output)) << output;
}

// Catches a corrupt WAV reported as converted.
TEST_F(BatchEndToEnd, BadWavEndsInErrorAndFailsTheRun) {
  std::ofstream(dir + "/bad.wav") << "this is not a wave file";
  const RunResult r = Maker("--batch bad.wav");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.output.find("Error:\t" + dir + "/bad.wav"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("    Error: "), std::string::npos) << r.output;
}

// Catches an existing output replaced without --yes, or not replaced with it.
TEST_F(BatchEndToEnd, ExistingOutputIsKeptUnlessYes) {
  MakeWav("e.wav", 1);
  ASSERT_EQ(Maker("--batch -delete e.wav").exitCode, 0);
  ASSERT_FALSE(std::filesystem::exists(dir + "/e.wav"));
  MakeWav("e.wav", 1);
  std::ofstream(dir + "/e.mp3") << "old";
  RunResult r = Maker("--batch -delete e.wav");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(dir + "/e.wav")) << "input deleted though nothing was written";
  EXPECT_EQ(std::filesystem::file_size(dir + "/e.mp3"), 3u);
  r = Maker("--batch --yes e.wav");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_GT(std::filesystem::file_size(dir + "/e.mp3"), 3u);
}

// Catches --mp32wav output that differs from the decoding library's own command-line
// decoder (dropped, doubled or altered samples, a wrong header for mono 22 050 Hz), and a
// file with junk before its first frame that does not decode.
TEST_F(BatchEndToEnd, Mp3DecodesExactlyAsTheReferenceDecoder) {
  const std::string wav = MakeWav("f.wav", 2);
  RunShell("lame --quiet -b 128 '" + wav + "' '" + dir + "/stereo.mp3'");
  RunShell("lame --quiet -m m --resample 22.05 -b 32 '" + wav + "' '" + dir + "/mono.mp3'");
  RunShell("head -c 3000 /dev/urandom | tr -d '\\377' > '" + dir + "/junk.mp3' && cat '" + dir +
           "/stereo.mp3' >> '" + dir + "/junk.mp3'");
  const RunResult r = Maker("--batch --mp32wav stereo.mp3 mono.mp3 junk.mp3");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::pair<const char*, const char*> cases[] = {{"stereo", "sample_rate=44100\nchannels=2"},
                                                       {"mono", "sample_rate=22050\nchannels=1"}};
  for (const auto& [name, format] : cases) {
    const std::string ours = dir + "/" + name + ".wav";
    const std::string reference = dir + "/" + name + ".ref.wav";
    RunShell("mpg123 -q -w '" + reference + "' '" + dir + "/" + name + ".mp3'");
    EXPECT_NE(Probe(ours, "sample_rate,channels").find(format), std::string::npos) << name;
    const RunResult same = RunShell("sox '" + ours + "' -t raw '" + ours + ".raw' && sox '" + reference +
                                    "' -t raw '" + reference + ".raw' && cmp '" + ours + ".raw' '" + reference + ".raw'");
    EXPECT_EQ(same.exitCode, 0) << name << ": " << same.output;
  }
  EXPECT_GT(std::filesystem::file_size(dir + "/junk.wav"), std::filesystem::file_size(dir + "/stereo.wav") / 2);
}

// Catches files without decodable audio reported as decoded ("OK:", exit 0, a WAV of a
// bare header): an empty file, text, random bytes, and WAV, FLAC and M4A files made by
// sox and ffmpeg, named .aac (and the WAV named .mp3). Each row ends "Error:" and the run
// fails. A FLAC or M4A named .mp3 is told by its content and decodes.
TEST_F(BatchEndToEnd, FilesWithoutAudioEndInError) {
  const std::string wav = MakeWav("src.wav", 1);
  RunShell("sox '" + wav + "' '" + dir + "/src.flac'");
  RunShell("ffmpeg -v error -i '" + wav + "' -c:a aac -b:a 128k '" + dir + "/src.m4a'");
  RunShell(": > '" + dir + "/empty.mp3'; yes 'not audio at all' | head -c 20000 > '" + dir + "/text.mp3'");
  // Random bytes from a fixed seed, so that a run is repeatable.
  RunShell("openssl enc -aes-128-ctr -nosalt -pass pass:zimbar -in /dev/zero 2>/dev/null | head -c 200000 > '" + dir +
           "/random.mp3'; cp '" + dir + "/random.mp3' '" + dir + "/random-aac.aac'");
  for (const char* format : {"wav", "flac", "m4a"}) {
    const std::string from = dir + "/src." + format;
    std::filesystem::copy_file(from, dir + "/" + format + "-as.mp3");
    std::filesystem::copy_file(from, dir + "/" + format + "-as-aac.aac");
  }
  // Each has its own output name: a second file aiming at the same WAV would keep the first.
  const char* files[] = {"empty.mp3",      "text.mp3",        "random.mp3", "random-aac.aac",
                         "wav-as.mp3",     "wav-as-aac.aac",  "flac-as-aac.aac", "m4a-as-aac.aac"};
  std::string args = "--batch --mp32wav flac-as.mp3 m4a-as.mp3";
  for (const char* file : files) args += std::string(" ") + file;
  const RunResult r = Maker(args);
  EXPECT_NE(r.exitCode, 0) << r.output;
  for (const char* file : files) {
    EXPECT_NE(r.output.find(std::string("Error:\t") + dir + "/" + file), std::string::npos) << file << "\n" << r.output;
  }
  for (const char* decoded : {"flac-as.mp3", "m4a-as.mp3"})
    EXPECT_NE(r.output.find(std::string("OK:\t") + dir + "/" + decoded), std::string::npos) << decoded << "\n" << r.output;
  EXPECT_EQ(Count(r.output, "OK:\t"), 2) << r.output;
  EXPECT_EQ(Count(r.output, "Error: no MPEG audio found in input file."), 4) << r.output;
  EXPECT_EQ(Count(r.output, "    Error: Encoder/decoder failed. No AAC audio found in the input file."), 4) << r.output;
}

// Catches a first frame looked for only in the first 64 KB, as the library does by
// default: an MP3 behind 256 KB of random bytes decodes to the audio of the MP3 alone.
TEST_F(BatchEndToEnd, Mp3BehindLongJunkDecodes) {
  RunShell("lame --quiet -b 128 '" + MakeWav("g.wav", 1) + "' '" + dir + "/clean.mp3'");
  RunShell("head -c 262144 /dev/urandom > '" + dir + "/junk.mp3' && cat '" + dir + "/clean.mp3' >> '" + dir +
           "/junk.mp3'");
  const RunResult r = Maker("--batch --mp32wav clean.mp3 junk.mp3");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const RunResult same = RunShell("sox '" + dir + "/clean.wav' -t raw '" + dir + "/clean.raw' && sox '" + dir +
                                  "/junk.wav' -t raw '" + dir + "/junk.raw' && cmp '" + dir + "/clean.raw' '" + dir +
                                  "/junk.raw'");
  EXPECT_EQ(same.exitCode, 0) << same.output;
  EXPECT_GT(std::filesystem::file_size(dir + "/junk.raw"), 44100u * 4 * 9 / 10);
}

// Catches AAC files missing the AAC decoder: the maker's own ADIF files, ADTS files and an
// extension written in any case.
TEST_F(BatchEndToEnd, AacFilesOfEveryFormDecodeThroughTheAacPath) {
  MakeWav("adif.wav", 2);
  ASSERT_EQ(Maker("--batch --aac adif.wav").exitCode, 0);
  std::filesystem::rename(dir + "/adif.aac", dir + "/adif.Aac");
  RunShell("ffmpeg -v error -i '" + dir + "/adif.wav' -c:a aac -b:a 128k -f adts '" + dir + "/adts.AAC'");
  std::filesystem::remove(dir + "/adif.wav");
  const RunResult r = Maker("--batch --mp32wav adif.Aac adts.AAC");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  for (const char* name : {"adif.wav", "adts.wav"}) {
    const std::string info = Probe(dir + "/" + name, "codec_name,sample_rate,channels");
    for (const char* entry : {"codec_name=pcm_s16le", "sample_rate=44100", "channels=2"})
      EXPECT_NE(info.find(entry), std::string::npos) << name << ": " << info;
    EXPECT_GT(std::filesystem::file_size(dir + "/" + name), 44100u * 4 * 19 / 10) << name;
  }
}

// Catches the program running a job, or exiting 0, when started without --batch where
// no window can open (no display), and a batch run without any file that is not told
// apart from one whose files all failed.
TEST_F(BatchEndToEnd, WithoutBatchOrDisplayPrintsUsageAndExits2) {
  MakeWav("h.wav", 1);
  RunResult r = RunShell(MakerCommand("h.wav", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.output.find("--batch"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir + "/h.mp3"));
  r = Maker("--batch -128");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.output.find("zbmaker: no files given"), std::string::npos) << r.output;
}

// Catches Ctrl-C that kills the program without cancelling: the file must end
// "Cancelled", the input stay, and the run end with 130 as shells expect after Ctrl-C.
TEST_F(BatchEndToEnd, InterruptCancelsTheRun) {
  MakeWav("long.wav", 240);
  MakeWav("next.wav", 1);
  // One job at a time: the next file must not have begun.
  const RunResult r = MakerInterruptedAt("--batch --jobs 1 long.wav next.wav", "Encoding:");
  EXPECT_NE(r.output.find("exit=130\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("    Cancelled."), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Cancelled\t" + dir + "/long.wav"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("+\t" + dir + "/next.wav"), std::string::npos) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/long.wav"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/next.mp3"));
}

// Catches a mistyped switch or a bit rate outside the tables that the run passes over
// (converting with other settings than asked), a usage error that still converts, exits
// otherwise than 2, or explains itself in more than one line without pointing to --help.
TEST_F(BatchEndToEnd, BadSwitchIsAUsageErrorAndConvertsNothing) {
  MakeWav("u.wav", 1);
  for (const char* bad : {"-vbr11", "-128k", "-q", "-V", "-100"}) {
    const RunResult r = Maker(std::string("--batch u.wav ") + bad);
    EXPECT_EQ(r.exitCode, 2) << bad << "\n" << r.output;
    EXPECT_EQ(Count(r.output, "\n"), 1) << bad << "\n" << r.output;
    EXPECT_EQ(r.output.rfind("zbmaker: ", 0), 0u) << r.output;
    EXPECT_NE(r.output.find(bad), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("--help"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir + "/u.mp3")) << bad;
  }
}

// Catches the reason of a failure shown only in the log on standard output (lost when
// that goes to /dev/null), an error printed twice when both streams are one, and
// --quiet showing anything but errors.
TEST_F(BatchEndToEnd, ErrorsGoToStandardErrorAndQuietShowsOnlyThem) {
  MakeWav("good.wav", 1);
  std::ofstream(dir + "/x.wav") << "this is not a wave file";
  const std::string why = "zbmaker: " + dir + "/x.wav: Error: Invalid WAV Header on input file. (At 0.00%)\n";
  RunResult r = RunShell("( " + MakerCommand("--batch x.wav") + " >/dev/null )");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, why);
  r = Maker("--batch x.wav");
  EXPECT_EQ(Count(r.output, "Invalid WAV Header"), 1) << r.output;
  r = Maker("--batch --quiet good.wav x.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, why);
  EXPECT_TRUE(std::filesystem::exists(dir + "/good.mp3"));
}

// Catches a run that dies of SIGPIPE when the reader of its log goes away (nothing
// converted, killed by a signal) instead of finishing the work.
TEST_F(BatchEndToEnd, ClosedLogPipeDoesNotStopTheRun) {
  MakeWav("p1.wav", 1);
  MakeWav("p2.wav", 1);
  const RunResult r = RunShell("{ " + MakerCommand("--batch p1.wav p2.wav") + "; echo \"exit=$?\" > '" + dir +
                               "/status'; } | head -c 20");
  EXPECT_EQ(r.output.size(), 20u) << r.output;
  std::ifstream status(dir + "/status");
  std::string line;
  std::getline(status, line);
  EXPECT_EQ(line, "exit=0");
  EXPECT_TRUE(std::filesystem::exists(dir + "/p1.mp3"));
  EXPECT_TRUE(std::filesystem::exists(dir + "/p2.mp3"));
}

// Catches --version missing or not the project's version, and -h or --help that do not
// print the help and exit 0 in every mode (with --batch, a CD run, bad options beside).
TEST_F(BatchEndToEnd, VersionAndHelpAnswerInEveryMode) {
  RunResult r = Maker("--version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, std::string("zbmaker (Zimbar audio toolkit) ") + kZimbarVersion + "\n");
  EXPECT_EQ(Maker("--batch --cd2wav --version").output, r.output);
  for (const char* args : {"-h", "--help", "--batch -h", "--batch --cd2mp3 --help", "--batch --mp32wav -q -h",
                           "--bogus --help"}) {
    r = Maker(args);
    EXPECT_EQ(r.exitCode, 0) << args;
    EXPECT_EQ(r.output.rfind("Usage: zbmaker", 0), 0u) << args << "\n" << r.output;
  }
}

// Catches a progress line missing when standard error is a terminal, written to standard
// output, without the file's number of the count, or that names an AAC encode MP3.
TEST_F(BatchEndToEnd, ProgressLineOnATerminalCountsTheFilesAndNamesAac) {
  MakeWav("slow.wav", 240);
  MakeWav("quick.wav", 1);
  // script(1) gives the program a terminal as standard error, standard output goes to a
  // file through a pipe; Ctrl-C after 8 s, when the line has shown even on a loaded machine
  // (3 s was once too short under the sanitizers with the whole suite running).
  const RunResult r = RunShell("script -qec \"cd '" + dir + "' && ZIMBAR_HOME='" + dir + "/home' timeout -s INT 8 '" +
                               kBin + "/zbmaker' --batch --aac slow.wav quick.wav | cat > log.txt\" /dev/null");
  EXPECT_NE(r.output.find("Encoding AAC 1/2 "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(" left, slow.aac"), std::string::npos) << r.output;
  std::ifstream in(dir + "/log.txt");
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("Encoding: " + dir + "/slow.wav"), std::string::npos) << log;
  EXPECT_EQ(log.find("Encoding AAC"), std::string::npos) << "progress on standard output:\n" << log;
}

// Catches a missing outside library reported without the file's name and the folders
// it was looked for in.
TEST_F(BatchEndToEnd, MissingLibraryNamesTheFileAndTheFoldersSearched) {
  MakeWav("l.wav", 1);
  std::filesystem::create_directories(dir + "/prog/empty");
  // The program with its job engine, without the outside libraries.
  for (const char* file : {"zbmaker", "libzbmakerbatch.so"})
    std::filesystem::copy_file(kBin + "/" + file, dir + "/prog/" + file);
  const RunResult r = RunShell("cd '" + dir + "' && ZIMBAR_HOME='" + dir + "/home' ZIMBAR_LIB_DIR='" + dir +
                               "/prog/empty' '" + dir + "/prog/zbmaker' --batch l.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("ERROR: Cannot load ZIMBAR library: libzbntread.so not found in $ZIMBAR_LIB_DIR (" + dir +
                          "/prog/empty) nor in the program's folder (" + dir + "/prog/)"),
            std::string::npos)
      << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/l.mp3"));
}

// Catches a control character in a file name that reaches the terminal (here a title
// escape and a clear-screen sequence) instead of being shown escaped.
TEST_F(BatchEndToEnd, ControlCharactersOfFileNamesAreEscaped) {
  const std::string name = "t\x1b]0;owned\x07\x1b[2J.wav";
  std::ofstream(dir + "/" + name) << "not a wave file";
  const RunResult r = Maker("--batch '" + name + "' 'missing\x1b[2J.wav'");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output.find('\x1b'), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find('\x07'), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Error:\t" + dir + "/t\\x1b]0;owned\\x07\\x1b[2J.wav"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("zbmaker: no such file: missing\\x1b[2J.wav"), std::string::npos) << r.output;
}

// Catches a kept existing output listed as "OK:" and files named on the command line that
// do not exist missing from the summary.
TEST_F(BatchEndToEnd, SummaryCountsKeptAndMissingFiles) {
  MakeWav("a.wav", 1);
  MakeWav("b.wav", 1);
  std::ofstream(dir + "/b.mp3") << "old";
  const RunResult r = Maker("--batch a.wav b.wav nothere.wav");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("OK:\t" + dir + "/a.wav"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Kept:\t" + dir + "/b.wav"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("1 of 3 files converted, 1 kept an existing output (use --yes to overwrite), 1 missing."),
            std::string::npos)
      << r.output;
  EXPECT_EQ(std::filesystem::file_size(dir + "/b.mp3"), 3u);
}

static std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The lines of standard output before the final list (which starts at the first row).
static std::vector<std::string> LogLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("OK:\t") || line.starts_with("Error:\t") || line.starts_with("Kept:\t") ||
        line.starts_with("Cancelled\t") || line.starts_with("+\t"))
      break;
    lines.push_back(line);
  }
  return lines;
}

// Catches parallel jobs that share an encoder or decoder (outputs that differ from those
// of one job at a time), log lines that do not name their file, and a summary or exit
// status unlike that of one job at a time.
TEST_F(BatchEndToEnd, ParallelJobsWriteWhatOneAtATimeWritesAndNameTheirFiles) {
  const std::vector<std::string> names = {"p1", "p2", "p3", "p4"};
  for (size_t i = 0; i < names.size(); ++i) MakeWav(names[i] + ".wav", 0.5 + 0.4 * static_cast<double>(i));
  const std::string files = "p1.wav p2.wav p3.wav p4.wav";
  for (const char* encoder : {"", "--aac "}) {
    const std::string ext = *encoder ? ".aac" : ".mp3";
    ASSERT_EQ(Maker(std::string("--batch --jobs 1 ") + encoder + files).exitCode, 0);
    std::vector<std::string> alone;
    for (const auto& name : names) alone.push_back(FileBytes(dir + "/" + name + ext));
    const RunResult r = Maker(std::string("--batch --jobs 2 --yes ") + encoder + files);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("4 of 4 files converted.\n"), std::string::npos) << r.output;
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_TRUE(FileBytes(dir + "/" + names[i] + ext) == alone[i]) << names[i] << ext;
      const std::string prefix = "[" + std::to_string(i + 1) + "/4 " + names[i] + ".wav] ";
      EXPECT_NE(r.output.find(prefix + "Encoding: " + dir + "/" + names[i] + ".wav\n"), std::string::npos) << r.output;
      EXPECT_EQ(Count(r.output, prefix + "    Done ("), 1) << r.output;
    }
    for (const std::string& line : LogLines(r.output))
      EXPECT_TRUE(line.starts_with("[") && line.find("/4 p") == 2) << "a log line without its file: " << line;
  }
  // Decoding, one at a time and two at once.
  for (const auto& name : names) std::filesystem::remove(dir + "/" + name + ".wav");
  ASSERT_EQ(Maker("--batch --mp32wav --jobs 1 p1.aac p2.aac p3.aac p4.aac").exitCode, 0);
  std::vector<std::string> decoded;
  for (const auto& name : names) decoded.push_back(FileBytes(dir + "/" + name + ".wav"));
  const RunResult r = Maker("--batch --mp32wav --jobs 3 --yes p1.aac p2.aac p3.aac p4.aac");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_TRUE(FileBytes(dir + "/" + names[i] + ".wav") == decoded[i]) << names[i];
  EXPECT_NE(r.output.find("[3/4 p3.aac] Decoding: " + dir + "/p3.aac\n"), std::string::npos) << r.output;
}

// Catches a failing file that stops or spoils the jobs beside it, is not reported with
// its name, or leaves the run's status at success.
TEST_F(BatchEndToEnd, FailingFileAmongParallelJobsIsReportedAndTheOthersFinish) {
  MakeWav("g1.wav", 1);
  std::ofstream(dir + "/bad.wav") << "this is not a wave file";
  MakeWav("g2.wav", 1);
  MakeWav("g3.wav", 1);
  const RunResult r = Maker("--batch --jobs 2 g1.wav bad.wav g2.wav g3.wav");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  // One stream for both: the error shows once, as its log line.
  EXPECT_EQ(Count(r.output, "[2/4 bad.wav]     Error: Invalid WAV Header on input file."), 1) << r.output;
  EXPECT_NE(r.output.find("Error:\t" + dir + "/bad.wav\n"), std::string::npos) << r.output;
  for (const char* name : {"g1", "g2", "g3"}) {
    EXPECT_NE(r.output.find("OK:\t" + dir + "/" + name + ".wav\n"), std::string::npos) << r.output;
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + name + ".mp3")) << name;
  }
  EXPECT_NE(r.output.find("3 of 4 files converted.\n"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/bad.mp3"));
  // Standard error alone names the file, as for one job at a time.
  const RunResult errors = RunShell("( " + MakerCommand("--batch --jobs 2 --yes g1.wav bad.wav") + " >/dev/null )");
  EXPECT_EQ(errors.exitCode, 1);
  EXPECT_EQ(errors.output, "zbmaker: " + dir + "/bad.wav: Error: Invalid WAV Header on input file. (At 0.00%)\n");
}

// Catches Ctrl-C that cancels only one of the jobs in flight, starts the files that wait,
// leaves an unfinished output under the output's name, or ends otherwise than with 130.
TEST_F(BatchEndToEnd, InterruptCancelsEveryParallelJob) {
  MakeWav("l1.wav", 240);
  MakeWav("l2.wav", 240);
  MakeWav("l3.wav", 1);
  // The second file's job has begun when its "To:" line shows; the first began before.
  const RunResult r = MakerInterruptedAt("--batch --aac --jobs 2 l1.wav l2.wav l3.wav", "\\[2/3 l2.wav\\] To:");
  EXPECT_NE(r.output.find("exit=130\n"), std::string::npos) << r.output;
  for (const char* name : {"l1", "l2"}) {
    EXPECT_NE(r.output.find("Cancelled\t" + dir + "/" + name + ".wav\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(std::string("[") + (name[1] == '1' ? "1" : "2") + "/3 " + name + ".wav]     Cancelled."),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir + "/" + name + ".aac")) << name;
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + name + ".wav")) << name;
  }
  EXPECT_NE(r.output.find("+\t" + dir + "/l3.wav\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("0 of 3 files converted.\n"), std::string::npos) << r.output;
  // What is left besides the inputs: the unfinished files kept under their ".part" names,
  // and nothing else (no temporary file, no output of the waiting file).
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == "home" || name == "out.txt" || name.ends_with(".wav")) continue;
    EXPECT_TRUE(name == "l1.part.aac" || name == "l2.part.aac") << name;
  }
}

// Catches the encoder lanes of a CD run (--jobs) sharing an encoder or its state (outputs,
// tags or ReplayGain values unlike one lane's), lines that do not say their track, and a
// summary unlike one lane's; with one lane the log has no labels.
TEST_F(BatchCdRun, TwoEncodersWriteWhatOneWritesAndLabelTheirLines) {
  MakeDisc();
  for (const char* encoder : {"--id3", "--aac"}) {
    SCOPED_TRACE(encoder);
    const std::string ext = std::string(encoder) == "--aac" ? ".aac" : ".mp3";
    const std::string run = std::string("--batch --cd2mp3 --no-accuraterip --cd-image disc.cue ") + encoder;
    const RunResult one = Maker(run + " --jobs 1 --output one");
    const RunResult two = Maker(run + " --jobs 2 --output two");
    ASSERT_EQ(one.exitCode, 0) << one.output;
    ASSERT_EQ(two.exitCode, 0) << two.output;
    for (const char* track : {"Track01", "Track02"}) {
      const std::string written = FileBytes(dir + "/one/" + track + ext);
      EXPECT_GT(written.size(), 1000u) << track;
      EXPECT_TRUE(written == FileBytes(dir + "/two/" + track + ext)) << track << ext;
      EXPECT_FALSE(std::filesystem::exists(dir + "/two/" + track + ".tmp")) << track;
      EXPECT_EQ(Count(two.output, std::string("[Track ") + (track + 5) + "] Encoding: " + dir + "/two/" + track + ".tmp\n"), 1)
          << two.output;
      EXPECT_EQ(Count(two.output, std::string("[Track ") + (track + 5) + "]     Done ("), 1) << two.output;
    }
    EXPECT_EQ(Count(one.output, "[Track "), 0) << one.output;
    // The final lists: the same rows and the same count.
    const auto list = [](const std::string& output) {
      std::string rows;
      for (const std::string& line : LogLines(output))
        if (line.starts_with("OK\t") || line.find(" converted") != std::string::npos) rows += line + "\n";
      return rows;
    };
    EXPECT_EQ(list(one.output), list(two.output));
    EXPECT_NE(two.output.find("2 of 2 tracks converted.\n"), std::string::npos) << two.output;
  }
}

// Tests of the engine table: its built-in rows, an engine added as one row (a test-only
// engine standing for a new file), and the facade passing the notifications of the engine
// it holds straight to its handlers.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/audio/output_volume.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

// What a new engine brings in its own file: the engine, its probe and its maker. It plays
// files that begin with "ZBTONE"; it records every call and raises a notification on Open
// (the input name) and on Play (the playing state), as an engine does.
class TToneEngine final : public TPlayerEngine {
 public:
  ~TToneEngine() override { Calls().push_back("destroyed"); }
  void Open(const std::string& name) override {
    Calls().push_back("Open " + name);
    slots_->OnNotifyInputName(this, name);
  }
  void Play() override {
    Calls().push_back("Play");
    slots_->OnNotifyPlayerState(this, 1);
  }
  void Pause() override { Calls().push_back("Pause"); }
  void Stop() override { Calls().push_back("Stop"); }
  void Seek(int offset, int range) override {
    Calls().push_back("Seek " + std::to_string(offset) + "/" + std::to_string(range));
  }
  void Close() override { Calls().push_back("Close"); }
  void SetCodecEqualizer(const int8_t* record) override {
    Calls().push_back("Equalizer " + std::to_string(record[0]));
  }
  void UseDirectSound(bool on) override { Calls().push_back(on ? "DirectSound on" : "DirectSound off"); }
  void VolumeChanged(uint32_t left, uint32_t) override { Calls().push_back("Volume " + std::to_string(left)); }

  // Main thread only, as the operations.
  static std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
  }
};

bool ProbeTone(const EngineFile& file) {
  char magic[6] = {};
  return file.fd >= 0 && ::read(file.fd, magic, sizeof magic) == 6 && std::memcmp(magic, "ZBTONE", 6) == 0;
}

std::unique_ptr<TPlayerEngine> MakeTone(MainLoop&) { return std::make_unique<TToneEngine>(); }

// The built-in table with the tone engine's one row added before the fallback.
std::vector<EngineEntry> WithToneRow() {
  std::vector<EngineEntry> rows(BuiltInEngines().begin(), BuiltInEngines().end());
  rows.insert(rows.end() - 1, EngineEntry{"TONE", ProbeTone, MakeTone});
  return rows;
}

std::string ChosenName(const std::string& path, EngineTable table) {
  const auto chosen = ChooseEngineEntry(path, table);
  return chosen ? chosen.Value()->name : "refused: " + chosen.Error().Message();
}

}  // namespace

// Catches a choice that ignores the table it is given (a new engine's row never asked),
// rows asked out of order (a later row taking a file an earlier one plays, the fallback
// asked before the others), a probe shown the file where the probe before it stopped
// reading, and a name that cannot be opened shown to a probe as if it could.
TEST(EngineTable, AnEngineAddedAsOneRowIsChosenForItsFilesBeforeTheFallback) {
  std::vector<std::string> builtIn;
  for (const EngineEntry& row : BuiltInEngines()) builtIn.push_back(row.name);
  ASSERT_EQ(builtIn, (std::vector<std::string>{"WAV", "AAC", "Media", "MP3"}));

  TempDir dir;
  const std::vector<unsigned char> tone = {'Z', 'B', 'T', 'O', 'N', 'E', 0, 1, 2, 3};
  test_media::WriteFile(dir.File("song.tone"), tone);
  test_media::WriteFile(dir.File("song.aac"), tone);
  test_media::WriteFile(dir.File("riff.tone"), player_test::ToneWav(8000, 1, 0.1, {440.0}));
  test_media::WriteFile(dir.File("other.tone"), {'Z', 'B', 'T'});
  const std::vector<EngineEntry> table = WithToneRow();
  struct Case {
    std::string path, withTone, builtIn;
  };
  const Case cases[] = {
      {dir.File("song.tone"), "TONE", "MP3"},
      {dir.File("song.aac"), "AAC", "AAC"},
      {dir.File("riff.tone"), "WAV", "WAV"},
      {dir.File("other.tone"), "MP3", "MP3"},
      {dir.File("missing.tone"), "MP3", "MP3"},
      {"http://127.0.0.1:1/song.tone", "MP3", "MP3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChosenName(c.path, table), c.withTone) << c.path;
    EXPECT_EQ(ChosenName(c.path, BuiltInEngines()), c.builtIn) << c.path;
  }
  // What is not a regular file is refused before any row is asked.
  const std::string folder = ChosenName(dir.Path(), table);
  EXPECT_NE(folder.find("refused: Cannot play " + dir.Path() + ": it is a folder"), std::string::npos) << folder;
  // A table whose rows all decline refuses with the reason.
  EXPECT_EQ(ChosenName(dir.File("other.tone"), EngineTable(table).first(3)),
            "refused: Cannot play " + dir.File("other.tone") + ": no engine plays it");
}

// Catches a facade that cannot hold an engine outside the three it knew, forwards to it
// partly, keeps it beside the next one, or re-wraps its notifications so that a handler
// set after Open (or the engine as sender) does not reach the window.
// Catches an https:// name looked at as a file (an "https://host/x.aac" handed to the AAC
// engine), a file:// URI not taken for its file (its escapes not decoded, so a WAV goes
// to the MP3 engine), and one of another computer not refused.
TEST(EngineTable, UrisAreTakenForWhatTheyName) {
  TempDir dir;
  test_media::WriteFile(dir.File("a b#%.wav"), player_test::ToneWav(8000, 1, 0.1, {440.0}));
  test_media::WriteFile(dir.File("a b.aac"), std::vector<unsigned char>{'Z', 'B'});
  auto uri = [](const std::string& path) {
    std::string encoded;
    for (char c : path) {
      static const char kHex[] = "0123456789ABCDEF";
      if (c == ' ' || c == '#' || c == '%') {
        encoded += '%';
        encoded += kHex[(c >> 4) & 15];
        encoded += kHex[c & 15];
      } else {
        encoded += c;
      }
    }
    return "file://" + encoded;
  };
  const std::vector<EngineEntry> table = WithToneRow();
  EXPECT_EQ(ChosenName("https://127.0.0.1:1/song.aac", table), "MP3");
  EXPECT_EQ(ChosenName("HTTPS://127.0.0.1:1/song.wav", table), "MP3");
  EXPECT_EQ(ChosenName(uri(dir.File("a b#%.wav")), table), "WAV");
  EXPECT_EQ(ChosenName("file://localhost" + uri(dir.File("a b.aac")).substr(7), table), "AAC");
  const std::string elsewhere = ChosenName("file://otherhost/music/a.wav", table);
  EXPECT_EQ(elsewhere, "refused: Cannot play file://otherhost/music/a.wav: not a file on this computer");
}

// Catches the media engine chosen by name rather than content (a FLAC named ".mp3" sent
// to the MP3 engine), asked before the name-based AAC row or the WAV header test, and
// URLs judged by their query or fragment rather than their path.
TEST(EngineTable, TheMediaEngineTakesItsFormatsByContentAndStreamsByPath) {
  TempDir dir;
  const std::string wav = dir.File("src.wav");
  test_media::WriteFile(wav, player_test::ToneWav(8000, 1, 0.2, {440.0}));
  int code = -1;
  test_media::Run("flac -s -f -o '" + dir.File("song.mp3") + "' '" + wav + "'", &code);
  ASSERT_EQ(code, 0);
  test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a libopus -f ogg '" + dir.File("song.wav") + "'", &code);
  ASSERT_EQ(code, 0);
  test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a alac -f mp4 '" + dir.File("song") + "'", &code);
  ASSERT_EQ(code, 0);
  const std::vector<uint8_t> flac = ReadBytes(dir.File("song.mp3"));
  WriteBytes(dir.File("song.aac"), flac);
  WriteBytes(dir.File("wave.flac"), ReadBytes(wav));
  // Garbage behind a FLAC signature's place: not taken for FLAC.
  WriteBytes(dir.File("noise.flac"), std::vector<uint8_t>(4096, 0x33));
  const std::pair<std::string, std::string> cases[] = {
      {dir.File("song.mp3"), "Media"},
      {dir.File("song.wav"), "Media"},
      {dir.File("song"), "Media"},
      {dir.File("song.aac"), "AAC"},
      {dir.File("wave.flac"), "WAV"},
      {dir.File("noise.flac"), "MP3"},
      {"http://127.0.0.1:1/radio/live.ogg", "Media"},
      {"HTTPS://127.0.0.1:1/a.OPUS?user=1&x=.mp3", "Media"},
      {"http://127.0.0.1:1/a.oga#part", "Media"},
      {"https://127.0.0.1:1/album/track.Flac", "Media"},
      {"http://127.0.0.1:1/a.ogg.mp3", "MP3"},
      {"http://127.0.0.1:1/listen?file=a.ogg", "MP3"},
      {"ftp://127.0.0.1:1/a.ogg", "MP3"},
  };
  for (const auto& [name, engine] : cases) EXPECT_EQ(ChosenName(name, BuiltInEngines()), engine) << name;
}

TEST(EngineTable, TheFacadeHoldsTheChosenEngineAndPassesItsNotificationsThrough) {
  TempDir dir;
  test_media::WriteFile(dir.File("song.tone"), {'Z', 'B', 'T', 'O', 'N', 'E'});
  const std::vector<EngineEntry> table = WithToneRow();
  QueueMainLoop loop;
  TToneEngine::Calls().clear();
  TSoundPlayer player(loop, table);
  std::vector<std::pair<void*, std::string>> names;
  player.SetOnNotifyInputName([&](void* sender, const std::string& name) { names.emplace_back(sender, name); });
  player.UseDirectSound(true);
  player.Open(dir.File("song.tone"));
  auto* engine = dynamic_cast<TToneEngine*>(player.Engine());
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(player.Mp3(), nullptr);
  EXPECT_EQ(player.Wav(), nullptr);
  EXPECT_EQ(player.Aac(), nullptr);
  EXPECT_EQ(names, (std::vector<std::pair<void*, std::string>>{{engine, dir.File("song.tone")}}));

  std::vector<std::pair<void*, int>> states;
  player.SetOnNotifyPlayerState([&](void* sender, int state) { states.emplace_back(sender, state); });
  player.Play();
  EXPECT_EQ(states, (std::vector<std::pair<void*, int>>{{engine, 1}}));

  const int8_t record[64] = {-7};
  player.Pause();
  player.Seek(3, 9);
  player.SetCodecEqualizer(record);
  TSoundPlayer::SetVolume(kVolumeStep, kVolumeStep);
  player.ApplyVolume();
  TSoundPlayer::SetVolume(kVolumeFull, kVolumeFull);
  player.Close();
  // A name the table refuses releases the engine held (stopped first) and holds none.
  player.Open(dir.Path());
  EXPECT_EQ(player.Engine(), nullptr);
  EXPECT_EQ(TToneEngine::Calls(),
            (std::vector<std::string>{"Open " + dir.File("song.tone"), "DirectSound on", "Play", "Pause", "Seek 3/9",
                                      "Equalizer -7", "Volume " + std::to_string(kVolumeStep), "Close", "Stop",
                                      "destroyed"}));
}

// Catches the MP3 engine handing the library's notifications to copies of the handlers
// taken at Open: a handler the window sets after Open never heard of the playback.
TEST(SoundPlayer, HandlersSetAfterOpenReachTheMp3Engine) {
  TempDir dir;
  const std::string mp3 = dir.File("in.mp3");
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 0.5));
  ScopedEnv out("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav") + ",speed=8").c_str());
  QueueMainLoop loop;
  TSoundPlayer player(loop);
  player.UseDirectSound(false);
  player.Open(mp3);
  ASSERT_NE(player.Mp3(), nullptr);
  std::vector<std::string> names;
  bool ended = false;
  void* endedBy = nullptr;
  player.SetOnNotifyInputName([&](void*, const std::string& name) { names.push_back(name); });
  player.SetOnNotifyPlayerState([&](void* sender, int state) {
    if (state == 3) {
      ended = true;
      endedBy = sender;
    }
  });
  player.Play();
  ASSERT_TRUE(loop.RunUntil([&] { return ended; }, 20s));
  EXPECT_EQ(endedBy, player.Mp3()->Xaudio());
  EXPECT_EQ(names, std::vector<std::string>{mp3});
}

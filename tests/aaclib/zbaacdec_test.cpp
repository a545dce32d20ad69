// zbaacdec as a program: what it does to existing files, links, devices and FIFOs, and its
// command-line conventions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/version.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/common/special_files.h"
#include "tests/common/temp_dir.h"

extern char** environ;

namespace {

const std::string kTool = ZIMBAR_BIN_DIR "/zbaacdec";

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs zbaacdec with `args`; standard output and error are caught in files of `dir`.
ToolRun Zbaacdec(const TempDir& dir, const std::vector<std::string>& args) {
  std::vector<std::string> all = {kTool};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string outFile = dir.File(".stdout"), errFile = dir.File(".stderr");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ToolRun run;
  pid_t pid = 0;
  int status = 0;
  if (posix_spawn(&pid, kTool.c_str(), &files, nullptr, argv.data(), environ) == 0 && waitpid(pid, &status, 0) == pid)
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  posix_spawn_file_actions_destroy(&files);
  run.out = ReadText(outFile);
  run.err = ReadText(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return run;
}

std::string AacStream() {
  zbaac::test::StreamSpec spec;
  spec.seconds = 0.5;
  std::string error;
  const std::string path = zbaac::test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  return path;
}

// The names in `folder`, hidden ones included (a temporary file must not stay behind).
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

// Catches an existing WAV destroyed by an input that does not decode: OUT used to be
// truncated at once and removed on the failure.
TEST(ZbaacdecFiles, BadInputLeavesTheExistingOutputWhole) {
  TempDir dir;
  WriteText(dir.File("bad.aac"), "this is text, not AAC audio");
  WriteText(dir.File("out.wav"), "an earlier decode");
  const ToolRun run = Zbaacdec(dir, {dir.File("bad.aac"), dir.File("out.wav")});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("no AAC audio found"), std::string::npos) << run.err;
  EXPECT_EQ(ReadText(dir.File("out.wav")), "an earlier decode");
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"bad.aac", "out.wav"}));
}

// Three seconds of stereo music as ADTS frames, and where the frames start.
std::vector<uint8_t> ThreeSeconds(std::vector<zbaac::test::AdtsFrame>* frames) {
  zbaac::test::StreamSpec spec;
  spec.seconds = 3.0;
  std::string error;
  const std::string path = zbaac::test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  std::vector<uint8_t> bytes = ReadBytes(path);
  *frames = zbaac::test::SplitAdtsFrames(bytes);
  return bytes;
}

// Sample bytes of a WAV file zbaacdec wrote (its header is 80 bytes).
size_t WavDataBytes(const std::string& path) {
  const size_t size = ReadBytes(path).size();
  return size > 80 ? size - 80 : 0;
}

// Catches one damaged byte in the middle of an ADTS file ending the decode with success
// and half the audio: the damaged frame is skipped and said on standard error, and the WAV
// holds every block, the skipped one as silence.
TEST(ZbaacdecDamage, DamagedFrameIsSkippedAndSaid) {
  TempDir dir;
  std::vector<zbaac::test::AdtsFrame> frames;
  std::vector<uint8_t> bytes = ThreeSeconds(&frames);
  ASSERT_GT(frames.size(), 100u);
  WriteBytes(dir.File("whole.aac"), bytes);
  bytes[frames[frames.size() / 2].offset] = 0x00;  // the middle frame's sync word
  WriteBytes(dir.File("damaged.aac"), bytes);
  const ToolRun whole = Zbaacdec(dir, {dir.File("whole.aac"), dir.File("whole.wav")});
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_TRUE(whole.err.empty()) << whole.err;
  const ToolRun damaged = Zbaacdec(dir, {dir.File("damaged.aac"), dir.File("damaged.wav")});
  EXPECT_EQ(damaged.exitCode, 0) << damaged.err;
  EXPECT_EQ(WavDataBytes(dir.File("damaged.wav")), frames.size() * 4096);
  EXPECT_EQ(WavDataBytes(dir.File("damaged.wav")), WavDataBytes(dir.File("whole.wav")));
  EXPECT_NE(damaged.err.find("warning: skipped 1 damaged frame"), std::string::npos) << damaged.err;
  EXPECT_EQ(std::count(damaged.err.begin(), damaged.err.end(), '\n'), 1) << damaged.err;
}

// Catches input that is no AAC decoded as audio, replacing an existing OUT: random bytes
// (one block of noise and success before), a stream damaged beyond the share a decode may
// lose, and a folder fail with a message that says what they are; OUT stays as it was.
TEST(ZbaacdecDamage, InputWithoutAudioFailsAndKeepsTheOutput) {
  TempDir dir;
  std::vector<zbaac::test::AdtsFrame> frames;
  std::vector<uint8_t> ruined = ThreeSeconds(&frames);
  for (size_t k = 1; k < frames.size(); k += 5) ruined[frames[k].offset + 1] = 0x00;
  WriteBytes(dir.File("ruined.aac"), ruined);
  ::mkdir(dir.File("folder.aac").c_str(), 0700);
  std::vector<std::pair<std::string, std::string>> inputs = {{"ruined.aac", "too damaged: "},
                                                             {"folder.aac", "is a folder"}};
  std::mt19937 random(23);
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> noise(4000);
    for (auto& byte : noise) byte = static_cast<uint8_t>(random());
    const std::string name = "random" + std::to_string(i) + ".aac";
    WriteBytes(dir.File(name), noise);
    inputs.emplace_back(name, "no AAC audio found");
  }
  for (const auto& [name, message] : inputs) {
    SCOPED_TRACE(name);
    WriteText(dir.File("out.wav"), "an earlier decode");
    const ToolRun run = Zbaacdec(dir, {dir.File(name), dir.File("out.wav")});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_TRUE(ReadText(dir.File("out.wav")) == "an earlier decode");
  }
}

// Catches IN destroyed when OUT is IN itself: the same name (deleted the input), a
// symbolic link to it (truncated the input) or a hard link to it.
TEST(ZbaacdecFiles, OutputThatIsTheInputIsRefused) {
  TempDir dir;
  const std::string in = dir.File("in.aac");
  const std::vector<uint8_t> original = ReadBytes(AacStream());
  WriteBytes(in, original);
  ASSERT_EQ(::symlink("in.aac", dir.File("soft.wav").c_str()), 0);
  ASSERT_EQ(::link(in.c_str(), dir.File("hard.wav").c_str()), 0);
  for (const std::string& out : {in, dir.File("soft.wav"), dir.File("hard.wav")}) {
    SCOPED_TRACE(out);
    const ToolRun run = Zbaacdec(dir, {in, out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("it is the input file itself"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(in), original);
  }
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"in.aac", "soft.wav", "hard.wav"}));
}

// Catches a finished decode that leaves its temporary file, or replaces a symbolic link
// given as OUT by a plain file instead of writing its target.
TEST(ZbaacdecFiles, DecodeReplacesTheOutputAndKeepsALink) {
  TempDir dir;
  const std::string in = AacStream();
  WriteText(dir.File("target.wav"), "old");
  ASSERT_EQ(::symlink("target.wav", dir.File("link.wav").c_str()), 0);
  const ToolRun run = Zbaacdec(dir, {in, dir.File("link.wav")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.wav")));
  const std::string wav = ReadText(dir.File("target.wav"));
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"target.wav", "link.wav"}));
}

// Catches a device given as OUT being removed when it refuses the writes (as root, OUT
// /dev/full removed the machine's device node), and a FIFO being replaced by a file. A
// private node with the numbers of /dev/full stands in for the device.
TEST(ZbaacdecFiles, DevicesAndFifosAreWrittenInPlaceAndKept) {
  TempDir dir;
  const std::string in = AacStream();
  {
    // A WAV header is written at a fixed offset, which a FIFO cannot seek to: the run
    // fails, and the FIFO stays what it is.
    FifoReader reader(dir.File("pipe.wav"));
    ASSERT_TRUE(reader.Ok());
    const ToolRun run = Zbaacdec(dir, {in, dir.File("pipe.wav")});
    reader.Join();
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(IsFifo(dir.File("pipe.wav")));
  }
  std::string why;
  if (!MakeFullDeviceNode(dir.File("full"), why)) GTEST_SKIP() << "device node part skipped: " << why;
  const ToolRun run = Zbaacdec(dir, {in, dir.File("full")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
  EXPECT_TRUE(IsFullDeviceNode(dir.File("full")));
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"pipe.wav", "full"}));
}

// Catches an unknown or malformed switch taken for a file name (and a decode attempted),
// help or version that fail or go to standard error, and "--" not ending the options.
TEST(ZbaacdecCommandLine, SwitchesFollowTheConventions) {
  TempDir dir;
  const std::string in = AacStream();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-q", dir.File("o.wav")}, {"--quiet", in, dir.File("o.wav")}, {in}, {}, {"-", dir.File("o.wav")},
           {in, dir.File("o.wav"), "extra"}}) {
    const ToolRun run = Zbaacdec(dir, args);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
  }
  EXPECT_NE(Zbaacdec(dir, {"-q", dir.File("o.wav")}).err.find("unknown option '-q'"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("o.wav")));

  for (const char* help : {"-h", "--help"}) {
    const ToolRun run = Zbaacdec(dir, {help});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: zbaacdec", 0), 0u) << run.out;
    EXPECT_TRUE(run.err.empty());
  }
  const ToolRun version = Zbaacdec(dir, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("zbaacdec ") + kZimbarVersion + "\n");

  std::filesystem::copy_file(in, dir.File("-dash.aac"));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const ToolRun dashed = Zbaacdec(dir, {"--", "-dash.aac", "-dash.wav"});
  std::filesystem::current_path(before);
  EXPECT_EQ(dashed.exitCode, 0) << dashed.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("-dash.wav")));
}

// Which files a file operation takes, and how files given to the program choose one.
#include "maker/jobs/input_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "pipeline_fixture.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

void Touch(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "x";
}

std::vector<std::string> RefusedPaths(const InputChoice& choice) {
  std::vector<std::string> paths;
  for (const auto& refused : choice.refused) paths.push_back(refused.path);
  return paths;
}

}  // namespace

// Catches a kind read with the extension's case, a file of another kind taken by an
// operation, and files offered to a CD operation.
TEST(InputFiles, KindsAndWhatEachOperationTakes) {
  EXPECT_EQ(KindOfInput("/a/b.WAV"), InputKind::Wav);
  for (const char* mpeg : {"/a/b.mp3", "/a/b.Mp2", "/a/b.mp1", "/a/b.AAC", "/a/b.flac", "/a/b.OGG", "/a/b.oga",
                           "/a/b.opus", "/a/b.m4a", "/a/b.MP4"})
    EXPECT_EQ(KindOfInput(mpeg), InputKind::Mpeg) << mpeg;
  for (const char* other : {"/a/b.wma", "/a/b", "/a.wav/b", "/a/b.wav.txt", "/a/b.flac.txt"})
    EXPECT_EQ(KindOfInput(other), InputKind::Other) << other;
  EXPECT_TRUE(FitsOperation("/a/b.flac", Operation::MP32WAV));
  EXPECT_FALSE(FitsOperation("/a/b.opus", Operation::WAV2MP3));
  EXPECT_TRUE(FitsOperation("/a/b.wav", Operation::WAV2MP3));
  EXPECT_FALSE(FitsOperation("/a/b.mp3", Operation::WAV2MP3));
  EXPECT_TRUE(FitsOperation("/a/b.aac", Operation::MP32WAV));
  EXPECT_FALSE(FitsOperation("/a/b.wav", Operation::MP32WAV));
  EXPECT_FALSE(FitsOperation("/a/b.wav", Operation::CD2MP3));
  EXPECT_FALSE(FitsOperation("/a/b.mp3", Operation::CD2WAV));
}

// Catches an operation chosen by a later file than the first (or by the majority), files
// of the other kind or of no kind listed, a folder taken as a missing file or collected
// otherwise than Add Directory does, and a file that comes twice (also through a link).
TEST(InputFiles, TheFirstFilesKindChoosesAndTheRestMustFit) {
  testcd::TempDir dir;
  const std::string d = dir.Path();
  for (const char* name : {"a.mp3", "b.wav", "c.wav", "notes.txt", "music/x.aac", "music/y.mp3", "music/z.wav",
                           "waves/w.wav"})
    Touch(d + "/" + name);
  ASSERT_EQ(symlink((d + "/a.mp3").c_str(), (d + "/link.mp3").c_str()), 0);

  const InputChoice decode = ChooseInputs({d + "/a.mp3", d + "/b.wav", d + "/notes.txt", d + "/music", d + "/c.wav",
                                           d + "/link.mp3", d + "/a.mp3", d + "/waves", d + "/gone.mp3"});
  ASSERT_EQ(decode.operation, Operation::MP32WAV);
  // The folder gives its ".mp3" files first, then its ".aac" files, as Add Directory does.
  EXPECT_EQ(decode.files, (std::vector<std::string>{d + "/a.mp3", d + "/music/y.mp3", d + "/music/x.aac"}));
  EXPECT_EQ(RefusedPaths(decode), (std::vector<std::string>{d + "/b.wav", d + "/notes.txt", d + "/c.wav",
                                                              d + "/waves", d + "/gone.mp3"}));
  EXPECT_EQ(decode.refused[0].reason, "not an MP3, AAC, FLAC, Ogg, Opus or M4A file");
  EXPECT_EQ(decode.refused[3].reason, "no MP3, AAC, FLAC, Ogg, Opus or M4A files in this folder");
  EXPECT_EQ(decode.refused[4].reason, "no such file or folder");

  // A file of no kind does not choose; a folder chooses by its first file of a kind.
  const InputChoice encode = ChooseInputs({d + "/notes.txt", d + "/waves", d + "/a.mp3"});
  ASSERT_EQ(encode.operation, Operation::WAV2MP3);
  EXPECT_EQ(encode.files, std::vector<std::string>{d + "/waves/w.wav"});
  EXPECT_EQ(RefusedPaths(encode), (std::vector<std::string>{d + "/notes.txt", d + "/a.mp3"}));
  EXPECT_EQ(ChooseInputs({d + "/music"}).operation, Operation::MP32WAV);  // x.aac sorts first

  const InputChoice none = ChooseInputs({d + "/notes.txt", d + "/gone.wav"});
  EXPECT_FALSE(none.operation);
  EXPECT_TRUE(none.files.empty());
  EXPECT_EQ(RefusedPaths(none), (std::vector<std::string>{d + "/notes.txt", d + "/gone.wav"}));
}

// Catches a file added again when the list has it already (by another name, a link), and
// repeats among the added files.
TEST(InputFiles, AFileListedAlreadyIsNotAddedAgain) {
  testcd::TempDir dir;
  const std::string d = dir.Path();
  Touch(d + "/a.wav");
  Touch(d + "/b.wav");
  ASSERT_EQ(symlink((d + "/a.wav").c_str(), (d + "/same.wav").c_str()), 0);
  EXPECT_EQ(NotYetListed({d + "/a.wav", "/not/here.wav"},
                         {d + "/same.wav", d + "/b.wav", d + "/b.wav", "/not/here.wav", "/not/there.wav"}),
            (std::vector<std::string>{d + "/b.wav", "/not/there.wav"}));
}

// Catches a message that does not say what the operation takes, lists every one of a
// thousand refused files, or counts "1 files".
TEST(InputFiles, MessagesSayWhatTheOperationTakesAndHowMany) {
  std::vector<RefusedInput> refused;
  for (int i = 0; i < 12; ++i) refused.push_back({"/m/" + std::to_string(i) + ".wav", "not an MP3, AAC, FLAC, Ogg, Opus or M4A file"});
  const std::string text = RefusedInputsText(refused, Operation::MP32WAV);
  EXPECT_EQ(text.find("These were not added: decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files.\n\n/m/0.wav (not an MP3, AAC, FLAC, Ogg, Opus or M4A file)"), 0u)
      << text;
  EXPECT_NE(text.find("/m/9.wav"), std::string::npos);
  EXPECT_EQ(text.find("/m/10.wav"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n... and 2 more")) << text;
  EXPECT_EQ(RefusedInputsText({refused[0]}, Operation::WAV2MP3),
            "This was not added: encoding takes WAV files.\n\n/m/0.wav (not an MP3, AAC, FLAC, Ogg, Opus or M4A file)");
  EXPECT_EQ(RemovedFilesText(1, Operation::WAV2MP3), "Removed 1 file from the list: encoding takes WAV files.");
  EXPECT_EQ(RemovedFilesText(3, Operation::MP32WAV),
            "Removed 3 files from the list: decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files.");
}

// A window's command line: catches MP3 files put on the encode list, a folder reported as
// a missing file, and the terminal's command line changed with it (it encodes every file
// it is given; its own options choose decoding).
TEST_F(PipelineTest, CommandLineFilesChooseTheOperationByTheirKind) {
  AddFiles({"a.mp3", "b.wav"});
  Touch(PathIn("tree/c.mp3"));
  host.files.clear();
  const CommandLineFiles parsed = pipeline.ApplyCommandLine(
      {"-js", PathIn("a.mp3"), PathIn("b.wav"), PathIn("tree"), PathIn("none.mp3")}, JobPipeline::CommandLineInputs::ByKind);
  EXPECT_EQ(host.operation, Operation::MP32WAV);
  ASSERT_EQ(host.files.size(), 2u);
  EXPECT_EQ(host.files[0].text, PathIn("a.mp3"));
  EXPECT_EQ(host.files[1].text, PathIn("tree/c.mp3"));
  EXPECT_EQ(parsed.missing, std::vector<std::string>{PathIn("none.mp3")});
  ASSERT_EQ(parsed.refused.size(), 1u);
  EXPECT_EQ(parsed.refused[0].path, PathIn("b.wav"));
  EXPECT_TRUE(pipeline.AutoStart());

  Rig terminal(loop, settings);
  terminal.h.operation = Operation::CD2MP3;
  const CommandLineFiles plain = terminal.p.ApplyCommandLine({PathIn("a.mp3"), PathIn("b.wav")});
  EXPECT_EQ(terminal.h.operation, Operation::WAV2MP3);
  EXPECT_EQ(terminal.h.files.size(), 2u);
  EXPECT_TRUE(plain.refused.empty());
}

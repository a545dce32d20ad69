// End-to-end test of files given to zbmaker's window ("Open with", the command line) on a
// real X server: their kind chooses the operation.
#include <gtest/gtest.h>

#include "maker_desktop_support.h"

using namespace maker_desktop;

// Catches an MP3 given first that is encoded as if it were a WAV file (its job fails, and
// the WAV given after it is encoded), and a start that does not decode by itself.
TEST_F(MakerDesktop, FilesGivenToTheWindowChooseTheOperationByTheirKind) {
  const std::string in = dir.File("in");
  ToneWav(in + "/tone.wav", 1.0, 440);
  ASSERT_EQ(QProcess::execute(QStringLiteral("lame"), {QStringLiteral("--quiet"), QString::fromStdString(in + "/tone.wav"),
                                                       QString::fromStdString(in + "/song.mp3")}),
            0);
  ASSERT_EQ(std::rename((in + "/tone.wav").c_str(), (in + "/other.wav").c_str()), 0);
  Maker maker(dir);
  QProcess* p = maker.Start(in, {QStringLiteral("song.mp3"), QStringLiteral("other.wav")});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  WaitForRip(window, in, {"other.wav", "song.mp3", "song.wav"}, 60);
  Screenshot("inputs-by-kind");
  EXPECT_EQ(FileNames(in), (std::vector<std::string>{"other.wav", "song.mp3", "song.wav"}))
      << "song.mp3 not decoded, or other.wav encoded";
  EXPECT_TRUE(ClosesCleanly(p, window));
}

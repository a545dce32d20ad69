// The terminal host: log lines, the status line and the answers to questions.
#include "maker/batch/terminal_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Everything the host wrote to a temporary file.
std::string Written(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  int c;
  while ((c = std::fgetc(file)) != EOF) text += static_cast<char>(c);
  return text;
}

// The two streams a host writes to, as temporary files.
class TerminalHostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::fclose(out);
    std::fclose(err);
  }
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
};

}  // namespace

// Catches status texts lost, repeated, or idle noise printed when the output is a file.
TEST_F(TerminalHostTest, StatusChangesBecomeLinesWhenNotATerminal) {
  TerminalHost host(out, err, /*isTerminal=*/false, /*answerYes=*/false);
  host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: Idle");
  host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: 10.00%, /a.mp3");
  host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: 10.00%, /a.mp3");
  host.AppendLog(MakerLog::Encoder, "    Done (1 seconds).");
  host.FinishStatusLine();
  EXPECT_EQ(Written(out), " MP3 Encoder: 10.00%, /a.mp3\n    Done (1 seconds).\n");
}

// Catches log lines printed over the status line, or the status line left behind.
TEST_F(TerminalHostTest, TerminalKeepsOneUpdatingStatusLine) {
  TerminalHost host(out, err, /*isTerminal=*/true, /*answerYes=*/false);
  host.SetStatusText(MakerPanel::Reader, " CD Reader: 5.00%, Track 01 - /x.tmp");
  host.AppendLog(MakerLog::Reader, "    Warning: Sync Error. (At 5.00%)");
  host.FinishStatusLine();
  EXPECT_EQ(Written(out),
            " CD Reader: 5.00%, Track 01 - /x.tmp"
            "\r\x1b[K    Warning: Sync Error. (At 5.00%)\n"
            " CD Reader: 5.00%, Track 01 - /x.tmp"
            "\r\x1b[K");
}

// Catches an overwrite allowed without --yes, and error boxes sent to the wrong stream.
TEST_F(TerminalHostTest, QuestionsAnswerNoUnlessYesAndErrorsGoToStderr) {
  TerminalHost no(out, err, false, false);
  EXPECT_FALSE(no.AskYesNo("Overwrite existing file /a.mp3 ?", "zbmaker Confirmation"));
  TerminalHost yes(out, err, false, true);
  EXPECT_TRUE(yes.AskYesNo("Overwrite existing file /a.mp3 ?", "zbmaker Confirmation"));
  no.ShowError("ERROR: Cannot load ZIMBAR library", "zbmaker (Zimbar MP3 Maker) Error");
  EXPECT_EQ(Written(err), "zbmaker (Zimbar MP3 Maker) Error: ERROR: Cannot load ZIMBAR library\n");
  EXPECT_NE(Written(out).find("Overwrite existing file /a.mp3 ? No"), std::string::npos);
  // The temporary files of a rip are replaced even without --yes.
  EXPECT_TRUE(no.TemporaryFileHost().AskYesNo("Overwrite existing file /T.tmp ?", "zbmaker Confirmation"));
  EXPECT_NE(Written(out).find("Overwrite existing file /T.tmp ? Yes (temporary file)"), std::string::npos);
}

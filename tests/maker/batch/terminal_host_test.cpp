// The terminal host: log lines, errors on standard error, the progress line, the answers
// to questions, and text from data made safe for the terminal.
#include "maker/batch/terminal_host.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "maker/batch/terminal_text.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

// Everything the host wrote to a temporary file.
std::string Written(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  int c;
  while ((c = std::fgetc(file)) != EOF) text += static_cast<char>(c);
  return text;
}

// The two streams a host writes to, as temporary files, and a clock the test moves.
class TerminalHostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::fclose(out);
    std::fclose(err);
  }
  TerminalChoices Choices(bool progressLine = false) {
    TerminalChoices choices;
    choices.progressLine = progressLine;
    choices.clock = [this] { return now; };
    return choices;
  }
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Clock::time_point now = Clock::time_point(seconds(1000));
};

}  // namespace

// Catches status texts lost, repeated, or idle noise printed when standard error is not
// a terminal.
TEST_F(TerminalHostTest, StatusChangesBecomeLinesWhenNotATerminal) {
  TerminalHost host(out, err, Choices());
  host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: Idle");
  host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: 10.00%, /a.mp3");
  host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: 10.00%, /a.mp3");
  host.AppendLog(MakerLog::Encoder, LogEvent::Done("    Done (1 seconds)."));
  host.FinishStatusLine();
  EXPECT_EQ(Written(out), " MP3 Encoder: 10.00%, /a.mp3\n    Done (1 seconds).\n");
  EXPECT_EQ(Written(err), "");
}

// Catches a progress line without the job's number of the count, its percentage or its
// time left, one that calls an AAC encode or decode MP3, a stale line kept after the job
// ended, a line printed over the log, or one written to standard output.
TEST_F(TerminalHostTest, ProgressLineShowsNumberPercentTimeLeftAndCodec) {
  struct Case {
    const char* name;
    Operation operation;
    MakerPanel panel;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"aac encode", Operation::WAV2MP3, MakerPanel::Encoder, " MP3 Encoder: 25.00%, /m/c.aac",
       "Encoding AAC 3/12 25.00%, 0:30 left, c.aac"},
      {"mp3 encode", Operation::WAV2MP3, MakerPanel::Encoder, " MP3 Encoder: 80.00%, /m/c.mp3",
       "Encoding MP3 3/12 80.00%, 0:03 left, c.mp3"},
      {"aac decode", Operation::MP32WAV, MakerPanel::Encoder, " MP3 Decoder: 40%, /m/c.wav",
       "Decoding AAC 3/12 40%, 0:15 left, c.wav"},
      {"flac encode", Operation::WAV2MP3, MakerPanel::Encoder, " FLAC Encoder: 50.00%, /m/c.flac",
       "Encoding FLAC 3/12 50.00%, 0:10 left, c.flac"},
      {"vorbis encode", Operation::WAV2MP3, MakerPanel::Encoder, " Ogg Vorbis Encoder: 50.00%, /m/c.ogg",
       "Encoding Ogg Vorbis 3/12 50.00%, 0:10 left, c.ogg"},
      {"opus rip encode", Operation::CD2MP3, MakerPanel::Encoder, " Opus Encoder: 50.00%, /r/Track02.opus",
       "Encoding Opus 1/3 50.00%, 0:10 left, Track02.opus"},
      {"m4a encode", Operation::WAV2MP3, MakerPanel::Encoder, " M4A Encoder: 50.00%, /m/c.m4a",
       "Encoding M4A 3/12 50.00%, 0:10 left, c.m4a"},
      {"rip", Operation::CD2WAV, MakerPanel::Reader, " CD Reader: 50.00%, Track 03 - /r/Track03.wav",
       "Reading 2/3 50.00%, 0:10 left, Track03.wav"},
      {"rip encode", Operation::CD2MP3, MakerPanel::Encoder, " MP3 Encoder: 2.00%, /r/Track02.aac",
       "Encoding AAC 1/3 2.00%, 8:10 left, Track02.aac"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* caseOut = std::tmpfile();
    std::FILE* caseErr = std::tmpfile();
    TerminalHost host(caseOut, caseErr, Choices(/*progressLine=*/true));
    host.SelectOperation(c.operation);
    const bool cd = c.operation == Operation::CD2MP3 || c.operation == Operation::CD2WAV;
    const JobList list = cd ? JobList::Tracks : JobList::Files;
    // Twelve files, the third of them an AAC file; or five tracks, of which 2, 3 and 5 are
    // ripped and track 2 waits for the encoder.
    for (int row = 0; row < (cd ? 5 : 12); ++row)
      host.AppendRow(list, cd ? "+\tTrack 0" + std::to_string(row + 1) + "\t1:00\t"
                              : "+\t/m/" + std::string(1, char('a' + row)) + (row == 2 ? ".aac" : ".wav"));
    // The host learns that a track waits for the encoder from its status, as the pipeline sets it.
    if (cd) host.SetRowStatus(JobList::Tracks, 1, JobStatus::Read);
    host.ShowProgressOf(list, cd ? std::vector<bool>{false, true, true, false, true} : std::vector<bool>(12, true));
    if (cd) {
      host.SetStatusText(c.panel, c.panel == MakerPanel::Reader ? " CD Reader: Idle" : " MP3 Encoder: Idle");
    } else {
      host.SetRowSelected(JobList::Files, 2, true);
    }
    now += seconds(10);
    host.SetStatusText(c.panel, c.text);
    EXPECT_EQ(Written(caseErr), c.expected);
    host.AppendLog(c.panel == MakerPanel::Reader ? MakerLog::Reader : MakerLog::Encoder,
                   LogEvent::Done("    Done (12 seconds)."));
    host.FinishStatusLine();
    EXPECT_EQ(Written(caseErr), std::string(c.expected) + "\r\x1b[K");
    EXPECT_EQ(Written(caseOut), "    Done (12 seconds).\n");
    std::fclose(caseOut);
    std::fclose(caseErr);
  }
}

// Catches a decode named after the file's extension where the decoder goes by its content
// (a FLAC file named .mp3 is decoded as FLAC), and an MP3 decode named otherwise.
TEST_F(TerminalHostTest, ProgressLineNamesTheFormatADecodeReads) {
  char folder[] = "/tmp/zb_terminal_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string flac = std::string(folder) + "/song.mp3";
  const std::string opus = std::string(folder) + "/voice.ogg";
  const std::string mp3 = std::string(folder) + "/plain.mp3";
  std::ofstream(flac, std::ios::binary) << std::string("fLaC\0\0\0\x22", 8) << std::string(34, '\0');
  std::string page = "OggS" + std::string(22, '\0') + std::string(1, '\x01') + std::string(1, '\x13') + "OpusHead";
  std::ofstream(opus, std::ios::binary) << page << std::string(11, '\0');
  std::ofstream(mp3, std::ios::binary) << "\xFF\xFB\x90\x00" << std::string(400, '\0');
  const std::pair<std::string, const char*> cases[] = {
      {flac, "Decoding FLAC 1/1 50%, 0:10 left, song.wav"},
      {opus, "Decoding Opus 1/1 50%, 0:10 left, voice.wav"},
      {mp3, "Decoding MP3 1/1 50%, 0:10 left, plain.wav"}};
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(input);
    std::FILE* caseErr = std::tmpfile();
    TerminalHost host(out, caseErr, Choices(/*progressLine=*/true));
    host.SelectOperation(Operation::MP32WAV);
    host.AppendRow(JobList::Files, "+\t" + input);
    host.ShowProgressOf(JobList::Files, {true});
    host.SetRowSelected(JobList::Files, 0, true);
    now += seconds(10);
    const std::string output = input.substr(0, input.rfind('.')) + ".wav";
    host.SetStatusText(MakerPanel::Encoder, " MP3 Decoder: 50%, " + output);
    EXPECT_EQ(Written(caseErr), expected);
    host.FinishStatusLine();
    std::fclose(caseErr);
  }
  std::filesystem::remove_all(folder);
}

// Catches an error or warning that only the log on standard output shows (lost with
// `>/dev/null`), one without the file or track it is about, one printed twice when both
// streams are one terminal, and --quiet showing more than errors.
TEST_F(TerminalHostTest, ErrorsAndWarningsGoToStandardErrorWithTheirSubject) {
  const auto run = [](TerminalHost& host) {
    host.AppendRow(JobList::Files, "+\t/m/b.wav");
    host.SetRowSelected(JobList::Files, 0, true);
    host.AppendLog(MakerLog::Encoder, LogEvent::Begin());
    host.AppendLog(MakerLog::Encoder, LogEvent::Info("Encoding: /m/b.wav", "/m/b.wav"));
    host.AppendLog(MakerLog::Encoder,
                   LogEvent::Error("    Error: Invalid WAV Header on input file. (At 0.00%)", "/m/b.wav"));
    host.AppendLog(MakerLog::Reader, LogEvent::Info("Reading: Track 03", "Track 03"));
    host.AppendLog(MakerLog::Reader, LogEvent::Warning("    Warning: Sync Error. (At 5.00%)", "Track 03"));
    host.AppendLog(MakerLog::Reader, LogEvent::Warning("    Track 03: not accurate", "Track 03"));
    host.AskYesNo("Overwrite existing file /m/b.mp3 ?", "zbmaker Confirmation");
  };
  {
    TerminalHost host(out, err, Choices());
    run(host);
    EXPECT_EQ(Written(out),
              "\nEncoding: /m/b.wav\n    Error: Invalid WAV Header on input file. (At 0.00%)\nReading: Track 03\n"
              "    Warning: Sync Error. (At 5.00%)\n    Track 03: not accurate\n"
              "Overwrite existing file /m/b.mp3 ? No (use --yes to overwrite)\n");
    // A line that names its track already is not prefixed with it again.
    EXPECT_EQ(Written(err),
              "zbmaker: /m/b.wav: Error: Invalid WAV Header on input file. (At 0.00%)\n"
              "zbmaker: Track 03: Warning: Sync Error. (At 5.00%)\nzbmaker: Track 03: not accurate\n");
  }
  std::FILE* sharedOut = std::tmpfile();
  std::FILE* sharedErr = std::tmpfile();
  TerminalChoices shared = Choices();
  shared.sharedStream = true;
  TerminalHost sharing(sharedOut, sharedErr, shared);
  run(sharing);
  EXPECT_EQ(Written(sharedOut), "\nEncoding: /m/b.wav\nReading: Track 03\n"
                                "Overwrite existing file /m/b.mp3 ? No (use --yes to overwrite)\n");
  EXPECT_EQ(Written(sharedErr), "    Error: Invalid WAV Header on input file. (At 0.00%)\n"
                                "    Warning: Sync Error. (At 5.00%)\n    Track 03: not accurate\n");

  std::FILE* quietOut = std::tmpfile();
  std::FILE* quietErr = std::tmpfile();
  TerminalChoices quiet = Choices(/*progressLine=*/true);
  quiet.quiet = true;
  TerminalHost silent(quietOut, quietErr, quiet);
  run(silent);
  silent.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: 10.00%, /m/b.mp3");
  silent.Beep();
  EXPECT_EQ(Written(quietOut), "");
  EXPECT_EQ(Written(quietErr), "zbmaker: /m/b.wav: Error: Invalid WAV Header on input file. (At 0.00%)\n");
  for (std::FILE* file : {sharedOut, sharedErr, quietOut, quietErr}) std::fclose(file);
}

// Catches a log line classified by its words rather than by its severity: an ordinary line
// that holds a file name such as "Error: x.wav" or "    Done (1).wav" (here the command line
// of an external program whose template begins with $name$) taken for an error (printed on
// standard error, and in --quiet) or for the end of a job (its progress line dropped while
// it still runs, in a run of one job at a time and in one of several at once).
TEST_F(TerminalHostTest, SeverityNotTheWordsOfALineMakesErrorsAndJobEnds) {
  const auto run = [](TerminalHost& host) {
    host.SelectOperation(Operation::WAV2MP3);
    host.AppendRow(JobList::Files, "+\t/m/Error: x.wav");
    host.AppendRow(JobList::Files, "+\t/m/    Done (1).wav");
    host.SetRowSelected(JobList::Files, 0, true);
    host.AppendLog(MakerLog::Encoder, LogEvent::Begin());
    host.AppendLog(MakerLog::Encoder, LogEvent::Info("Executing external program:"));
    host.AppendLog(MakerLog::Encoder, LogEvent::Info("Error: x --fast"));
    host.AppendLog(MakerLog::Encoder, LogEvent::Error("    Error: External program failed (exit code 2)."));
    host.AppendLog(MakerLog::Encoder, LogEvent::Done("    Done (0 seconds)."));
    host.SetRowSelected(JobList::Files, 0, false);
    host.SetRowSelected(JobList::Files, 1, true);
    host.AppendLog(MakerLog::Encoder, LogEvent::Begin());
    host.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: 10.00%, /m/    Done (1).mp3");
    host.AppendLog(MakerLog::Encoder, LogEvent::Info("    Done (1) --fast"));
  };
  {
    TerminalHost host(out, err, Choices());
    run(host);
    EXPECT_EQ(Written(out), "\nExecuting external program:\nError: x --fast\n"
                            "    Error: External program failed (exit code 2).\n    Done (0 seconds).\n\n"
                            " MP3 Encoder: 10.00%, /m/    Done (1).mp3\n    Done (1) --fast\n");
    EXPECT_EQ(Written(err), "zbmaker: /m/Error: x.wav: Error: External program failed (exit code 2).\n");
  }
  std::FILE* quietOut = std::tmpfile();
  std::FILE* quietErr = std::tmpfile();
  TerminalChoices quiet = Choices();
  quiet.quiet = true;
  TerminalHost silent(quietOut, quietErr, quiet);
  run(silent);
  EXPECT_EQ(Written(quietOut), "");
  EXPECT_EQ(Written(quietErr), "zbmaker: /m/Error: x.wav: Error: External program failed (exit code 2).\n");

  // The progress line of the running job is drawn again below the ordinary line, and
  // cleared for good by the job's end.
  std::FILE* lineOut = std::tmpfile();
  std::FILE* lineErr = std::tmpfile();
  TerminalHost progress(lineOut, lineErr, Choices(/*progressLine=*/true));
  run(progress);
  const std::string shown = "Encoding MP3 10.00%,     Done (1).mp3";
  EXPECT_EQ(Written(lineErr), "zbmaker: /m/Error: x.wav: Error: External program failed (exit code 2).\n" + shown +
                                  "\r\x1b[K" + shown);
  progress.AppendLog(MakerLog::Encoder, LogEvent::Done("    Done (2 seconds)."));
  progress.FinishStatusLine();
  EXPECT_EQ(Written(lineErr), "zbmaker: /m/Error: x.wav: Error: External program failed (exit code 2).\n" + shown +
                                  "\r\x1b[K" + shown + "\r\x1b[K");

  // Several jobs at once: the lane's status text stays until its job's end.
  std::FILE* laneOut = std::tmpfile();
  std::FILE* laneErr = std::tmpfile();
  TerminalHost lanes(laneOut, laneErr, Choices(/*progressLine=*/true));
  lanes.AppendRow(JobList::Files, "+\t/m/    Done (1).wav");
  lanes.ShowProgressOf(JobList::Files, {true});
  lanes.BeginJob(0, 0);
  lanes.SetJobStatus(0, 0, " MP3 Encoder: 10.00%, /m/    Done (1).mp3");
  lanes.AppendJobLog(0, 0, LogEvent::Info("    Done (1) --fast"));
  lanes.AppendJobLog(0, 0, LogEvent::Error("    Error: External program failed (exit code 2)."));
  const std::string lane = "Encoding MP3 1/1 10.00%,     Done (1).mp3";
  EXPECT_EQ(Written(laneErr), lane + "\r\x1b[K" + lane + "\r\x1b[K" + lane +
                                  "\r\x1b[Kzbmaker: /m/    Done (1).wav: Error: External program failed (exit code 2).\n" +
                                  lane);
  for (std::FILE* file : {quietOut, quietErr, lineOut, lineErr, laneOut, laneErr}) std::fclose(file);
}

// Catches an overwrite allowed without --yes, and error boxes sent to the wrong stream.
TEST_F(TerminalHostTest, QuestionsAnswerNoUnlessYesAndErrorsGoToStderr) {
  TerminalHost no(out, err, Choices());
  EXPECT_FALSE(no.AskYesNo("Overwrite existing file /a.mp3 ?", "zbmaker Confirmation"));
  TerminalChoices yesChoices = Choices();
  yesChoices.answerYes = true;
  TerminalHost yes(out, err, yesChoices);
  EXPECT_TRUE(yes.AskYesNo("Overwrite existing file /a.mp3 ?", "zbmaker Confirmation"));
  no.ShowError("ERROR: Cannot load ZIMBAR library", "zbmaker (Zimbar MP3 Maker) Error");
  EXPECT_EQ(Written(err), "zbmaker (Zimbar MP3 Maker) Error: ERROR: Cannot load ZIMBAR library\n");
  EXPECT_NE(Written(out).find("Overwrite existing file /a.mp3 ? No"), std::string::npos);
  // The temporary files of a rip are replaced even without --yes.
  EXPECT_TRUE(no.TemporaryFileHost().AskYesNo("Overwrite existing file /T.tmp ?", "zbmaker Confirmation"));
  EXPECT_NE(Written(out).find("Overwrite existing file /T.tmp ? Yes (temporary file)"), std::string::npos);
}

// Catches a control character of a file or disc name reaching the terminal (a title
// escape run by it, a C1 CSI, a byte that an 8-bit terminal takes for one), valid UTF-8
// mangled, or the separators of a row escaped.
TEST_F(TerminalHostTest, ControlCharactersFromDataAreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\x1b]0;owned\x07.wav", "a\\x1b]0;owned\\x07.wav"},
      {std::string("n\0l\x7f", 4), "n\\x00l\\x7f"},
      {"csi \xC2\x9B" "31m", "csi \\u009b31m"},
      {"8-bit \x9b" "31m", "8-bit \\x9b31m"},
      {"overlong \xC0\xAF surrogate \xED\xA0\x80 cut \xE2\x82", "overlong \\xc0\\xaf surrogate \\xed\\xa0\\x80 cut \\xe2\\x82"},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5 \xC2\xA0", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5 \xC2\xA0"},
      {"tab\there\r\n", "tab\\x09here\\x0d\\x0a"},
  };
  for (const auto& [raw, shown] : cases) EXPECT_EQ(TerminalText(raw), shown);
  EXPECT_EQ(TerminalText("OK:\t/m/a\tb.wav", /*keptTabs=*/1), "OK:\t/m/a\\x09b.wav");

  TerminalHost host(out, err, Choices());
  host.AppendLog(MakerLog::Encoder, LogEvent::Info("Encoding: /m/a\x1b]0;owned\x07.wav", "/m/a\x1b]0;owned\x07.wav"));
  host.AppendLog(MakerLog::Encoder, LogEvent::Error("    Error: Cannot open input file. (At 0.00%)"));
  host.ShowError("bad \x1b[2J", "caption");
  EXPECT_EQ(Written(out), "Encoding: /m/a\\x1b]0;owned\\x07.wav\n    Error: Cannot open input file. (At 0.00%)\n");
  EXPECT_EQ(Written(err), "zbmaker: /m/a\\x1b]0;owned\\x07.wav: Error: Cannot open input file. (At 0.00%)\n"
                          "caption: bad \\x1b[2J\n");
}

// End-to-end tests of zbmaker's window on a real X server (the test command's private
// Xvfb): the program started as a person starts it, with files on its command line, found
// with xdotool, watched through its window title and the files it writes, and closed the
// way a window manager closes a window (WM_DELETE_WINDOW), so that it ends as it would on
// a desktop and saves its settings.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "maker_desktop_support.h"

using namespace maker_desktop;

// Catches files on the command line that are not encoded at once (no AutoStart), relative
// paths not resolved against the starting folder, outputs that are not valid MP3 or are
// cut short, a title that keeps showing progress after the run, and a close that does not
// end the program with status 0 or does not save the settings.
TEST_F(MakerDesktop, EncodesTheCommandLineFilesAndClosesCleanly) {
  ToneWav(dir.File("in/a.wav"), 2, 440);
  ToneWav(dir.File("in/b.wav"), 3, 660);
  Maker maker(dir);
  const auto started = std::chrono::steady_clock::now();
  QProcess* p = maker.Start(dir.File("in"), {QStringLiteral("a.wav"), QStringLiteral("b.wav")});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";

  // Both outputs in place, then the plain caption back: the run has ended.
  const auto until = started + 40s;
  while (std::chrono::steady_clock::now() < until &&
         !(FileExists(dir.File("in/a.mp3")) && FileExists(dir.File("in/b.mp3")) &&
           WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  const double a = Mp3Seconds(dir.File("in/a.mp3")), b = Mp3Seconds(dir.File("in/b.mp3"));
  EXPECT_NEAR(a, 2.0, 0.2) << "a.mp3 missing or not an MP3 of the whole input";
  EXPECT_NEAR(b, 3.0, 0.2) << "b.mp3 missing or not an MP3 of the whole input";
  EXPECT_FALSE(FileExists(dir.File("in/a.part.mp3")));
  EXPECT_FALSE(FileExists(dir.File("in/b.part.mp3")));

  EXPECT_FALSE(DismissErrorBox(1)) << "a box for the missing CD drive";
  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(15000)) << "the program did not end after its window was closed";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  ASSERT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
  // The folder it was started in is not an output folder anybody chose: it is not saved.
  EXPECT_EQ(ReadText(maker.SettingsPath()).find("OutputPath=" + dir.File("in")), std::string::npos)
      << ReadText(maker.SettingsPath());
}

// Catches a close during an encode, answered Yes, that leaves the program running, ends
// it with a crash or a failure status, leaves a half-written file under the final name, or loses
// the settings.
TEST_F(MakerDesktop, ClosingDuringAnEncodeEndsCleanly) {
  // The encoder is fast (some hundred times real time on a quick machine): six names for
  // one quarter of an hour of audio give the close a run of a minute and a half of
  // encoding or more to land in, without writing more than one input file.
  constexpr int kCopies = 6;
  ToneWav(dir.File("in/long1.wav"), 900, 440);
  QStringList args{QStringLiteral("long1.wav")};
  for (int i = 2; i <= kCopies; ++i) {
    const std::string name = "long" + std::to_string(i) + ".wav";
    std::filesystem::create_hard_link(dir.File("in/long1.wav"), dir.File("in/" + name));
    args << QString::fromStdString(name);
  }
  Maker maker(dir);
  QProcess* p = maker.Start(dir.File("in"), args);
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  const QString busy = WaitForTitle(window, 20, IsProgressTitle);
  ASSERT_TRUE(IsProgressTitle(busy)) << "no progress in the title: " << busy.toStdString();
  ASSERT_EQ(p->state(), QProcess::Running);
  const QString before = WindowName(window);
  ASSERT_TRUE(IsProgressTitle(before)) << "the encode ended before the close (title \"" << before.toStdString()
                                       << "\"); make the input longer";

  ASSERT_TRUE(CloseAndAnswer(window, QStringLiteral("alt+y"), "close_encode_question"));
  const auto closed = std::chrono::steady_clock::now();
  ASSERT_TRUE(p->waitForFinished(10000)) << "the program did not end after its window was closed";
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count();
  EXPECT_LT(took, 5.0) << "the close waited too long for the encoder to stop";
  SCOPED_TRACE("closed at " + before.toStdString());
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  // Files encoded before the close are whole MP3s under their names; the one being
  // encoded is kept under a name that says it is unfinished (the default), never under
  // the final name; the files after it are not touched; nothing else is left.
  std::vector<std::string> expected;
  std::string last_whole;
  bool cut = false;
  for (int i = 1; i <= kCopies; ++i) {
    const std::string stem = "long" + std::to_string(i);
    expected.push_back(stem + ".wav");
    if (cut) continue;
    if (FileExists(dir.File("in/" + stem + ".part.mp3"))) {
      expected.push_back(stem + ".part.mp3");
      cut = true;
    } else if (FileExists(dir.File("in/" + stem + ".mp3"))) {
      expected.push_back(stem + ".mp3");
      last_whole = stem + ".mp3";
    } else {
      cut = true;  // the close came between two files
    }
  }
  // The last file under its final name is the one a cut-short encode would have left.
  if (!last_whole.empty()) {
    EXPECT_NEAR(Mp3Seconds(dir.File("in/" + last_whole)), 900.0, 1.0) << last_whole << " is not the whole input";
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FileNames(dir.File("in")), expected);
  EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
}

// Catches keyboard mnemonics of the operation and Start that do not work on a real
// desktop, a disc image in the settings not offered as a drive, and CD to WAV that does
// not write one whole WAV file per selected track into the output folder.
TEST_F(MakerDesktop, RipsTheDiscImageToWavFromTheKeyboard) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 3, 660, 8000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") + "\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  Sleep(1.0);
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+d"), QStringLiteral("alt+s")}));
  // Done when both files are in place and the title is the plain caption again.
  auto wavs = [&] { return FileNames(dir.File("out")); };
  const auto until = std::chrono::steady_clock::now() + 40s;
  while (std::chrono::steady_clock::now() < until &&
         !(wavs().size() == 5 && wavs()[0].ends_with(".wav") && wavs()[1].ends_with(".wav") &&
           WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  const std::vector<std::string> names = wavs();
  // The tracks, then the run's rip log, cue sheet and play list.
  ASSERT_EQ(names.size(), 5u) << ::testing::PrintToString(names);
  EXPECT_EQ(names[3], "rip.log");
  // Each file holds its whole track, sample for sample, behind a 44-byte header.
  for (size_t i = 0; i < 2; ++i) {
    const std::vector<uint8_t> wav = ReadBytes(dir.File("out/" + names[i]));
    ASSERT_GE(wav.size(), 44u) << names[i];
    EXPECT_TRUE(std::vector<uint8_t>(wav.begin() + 44, wav.end()) == testcd::Bytes(tracks[i]))
        << names[i] << " does not hold track " << i + 1 << " (" << wav.size() << " bytes)";
  }
  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(15000));
  EXPECT_EQ(p->exitCode(), 0);
}

// Catches SIGTERM, SIGINT or SIGHUP in window mode that kills the program (settings lost, a
// half-written file under the final name), leaves it running, or ends it with another
// status than the shell's for the signal (128 + its number, as in --batch).
TEST_F(MakerDesktop, TerminationSignalsEndARunAsACloseDoes) {
  ToneWav(dir.File("in/long.wav"), 900, 440);
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(number));
    TempDir own;  // settings of this start alone
    Maker maker(own);
    QProcess* p = maker.Start(dir.File("in"), {QStringLiteral("long.wav")});
    const QString window = FindMainWindow(20);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
    const QString busy = WaitForTitle(window, 20, IsProgressTitle);
    ASSERT_TRUE(IsProgressTitle(busy)) << "no progress in the title: " << busy.toStdString();
    ASSERT_EQ(::kill(pid_t(p->processId()), number), 0);
    ASSERT_TRUE(p->waitForFinished(10000)) << "the program did not end after the signal";
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 128 + number);
    EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
    EXPECT_FALSE(FileExists(dir.File("in/long.mp3"))) << "an unfinished encode was put under the final name";
    std::filesystem::remove(dir.File("in/long.part.mp3"));
  }
}

// Catches a window manager's close that is lost while a box is up (Qt drops a close for a
// window that a modal box blocks), or that ends the program without its settings.
TEST_F(MakerDesktop, ACloseWhileABoxIsUpEndsTheProgram) {
  Maker maker(dir);
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  EXPECT_FALSE(DismissErrorBox(1)) << "a box for the missing CD drive";
  // The About box, from the keyboard.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+h"), QStringLiteral("a")}));
  ASSERT_FALSE(WaitForWindow(QStringLiteral("About zbmaker"), 10).isEmpty()) << "the About box did not open";

  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(15000)) << "the close was lost while the box was up";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
}

// Catches CD information typed in the CD window (album, artist, track names, letters
// beyond ASCII) that does not reach the output file names, a pattern that is not applied
// as the settings ask, tracks ripped that the person did not pick, and a rip that does
// not hold each picked track sample for sample.
TEST_F(MakerDesktop, RipsTheTracksAPersonPickedWithTheTypedNames) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 2, 330, 6000), testcd::Tone(75 * 2, 440, 7000),
                                          testcd::Tone(75 * 2, 550, 8000), testcd::Tone(75 * 2, 660, 9000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") +
                                      "\nUseFileNameFormat=1\nFileNamePattern=($artist$) [$title$] [$track#$] $trackname$\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  const QString info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open";
  // Each label's mnemonic puts the focus into its field with the text selected.
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+t")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Café Dämmerung")));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+a")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Zugvögel")));
  // The track list comes after the genre; Enter on a row asks for its name.
  auto nameRow = [&](const QStringList& moves, const QString& name) {
    ASSERT_TRUE(PressKeys(moves + QStringList{QStringLiteral("Return")}));
    const QString prompt = WaitForWindow(QStringLiteral("^Track Name$"), 10);
    ASSERT_FALSE(prompt.isEmpty()) << "the track name prompt did not open";
    ASSERT_TRUE(Focus(prompt));
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(TypeText(name));
    ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
    ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^Track Name$"), 10)) << "the track name prompt did not close";
    ASSERT_TRUE(Focus(info));
  };
  nameRow({QStringLiteral("alt+g"), QStringLiteral("Tab"), QStringLiteral("Home"), QStringLiteral("Down")},
          QStringLiteral("Über die Brücke"));
  ASSERT_FALSE(HasFatalFailure());
  nameRow({QStringLiteral("Down"), QStringLiteral("Down")}, QStringLiteral("Łódź bei Nacht/Tag"));
  ASSERT_FALSE(HasFatalFailure());
  Screenshot("cd_info_typed");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+o")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "OK did not close the window";

  // OK selects every track again: the person picks tracks 2 and 4 now. The track list is
  // five tabs on from the operation (past the drive, CD/Tracks Info, Output Path, Start);
  // Down selects track 2 alone, Ctrl+Down moves on without selecting, Ctrl+Space adds 4.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+d"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"),
                         QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Home"), QStringLiteral("Down"),
                         QStringLiteral("ctrl+Down"), QStringLiteral("ctrl+Down"), QStringLiteral("ctrl+space")}));
  Screenshot("tracks_picked");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));

  const std::vector<std::string> expected{"(Zugvögel) [Café Dämmerung] [02] Über die Brücke.wav",
                                          "(Zugvögel) [Café Dämmerung] [04] Łódź bei Nacht-Tag.wav"};
  // The tracks, then the run's rip log, cue sheet and play list named after the album.
  std::vector<std::string> inFolder = expected;
  for (const char* extension : {".cue", ".log", ".m3u"}) inFolder.push_back("Café Dämmerung" + std::string(extension));
  WaitForRip(window, dir.File("out"), inFolder, 40);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  ASSERT_EQ(FileNames(dir.File("out")), inFolder);
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + expected[0]), tracks[1]));
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + expected[1]), tracks[3]));
  EXPECT_TRUE(ClosesCleanly(p, window));
}

// Catches a "Load Info From CDDB" that does not ask the server in the settings about this
// disc's layout, does not put the reply's artist, title and track names (UTF-8) into the
// window, or whose names the rip then does not use.
TEST_F(MakerDesktop, CddbLookupFromTheCdWindowNamesTheRip) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 2, 392, 7000), testcd::Tone(75 * 2, 494, 8000),
                                          testcd::Tone(75 * 2, 587, 9000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  CddbScript script;
  script.queryReply = "200 jazz 0c000603 Nachtfalter / Später Sommer\r\n";
  script.readReply =
      "210 jazz 0c000603 CD database entry follows (until terminating `.')\r\n"
      "# xmcd\r\nDISCID=0c000603\r\nDTITLE=Nachtfalter / Später Sommer\r\nDYEAR=2024\r\nDGENRE=Jazz\r\n"
      "TTITLE0=Erste Straße\r\nTTITLE1=Ça va: oui?\r\nTTITLE2=Ølfestival\r\nEXTD=\r\nEXTT0=\r\nPLAYORDER=\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") +
                                      "\nUseFileNameFormat=1\nFileNamePattern=$track#$ $artist$ - $title$ - $trackname$"
                                      "\nCDDBServer=cddbp://127.0.0.1:" + std::to_string(server.Port()) + "\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  const QString info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open";
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+l")}));
  // The status window closes by itself once the entry has been read.
  const auto asked = std::chrono::steady_clock::now();
  auto sent = [&](const std::string& text) {
    for (const std::string& transcript : server.Transcripts())
      if (transcript.find(text) != std::string::npos) return true;
    return false;
  };
  auto readSent = [&] { return sent("cddb read jazz 0c000603"); };
  while (!readSent() && std::chrono::steady_clock::now() - asked < 20s) Sleep(0.1);
  ASSERT_TRUE(readSent()) << "the lookup did not get to reading the entry";
  if (!WaitForWindowGone(QStringLiteral("^CDDB Status$"), 20)) {
    Screenshot("cddb_status_left_open");
    FAIL() << "the CDDB status window stayed open: the lookup failed";
  }
  // The query names the disc: three tracks, their start frames and its length in seconds.
  EXPECT_TRUE(sent("cddb query 0c000603 3 150 300 450 8\r\n")) << ::testing::PrintToString(server.Transcripts());
  ASSERT_TRUE(Focus(info));
  Screenshot("cd_info_from_cddb");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+o")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "OK did not close the window";
  // Every track is selected after OK.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));

  const std::vector<std::string> expected{"01 Nachtfalter - Später Sommer - Erste Straße.wav",
                                          "02 Nachtfalter - Später Sommer - Ça va- oui-.wav",
                                          "03 Nachtfalter - Später Sommer - Ølfestival.wav"};
  std::vector<std::string> inFolder = expected;
  for (const char* extension : {".cue", ".log", ".m3u"}) inFolder.push_back("Später Sommer" + std::string(extension));
  WaitForRip(window, dir.File("out"), inFolder, 40);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  ASSERT_EQ(FileNames(dir.File("out")), inFolder);
  for (size_t i = 0; i < tracks.size(); ++i) EXPECT_TRUE(HoldsTrack(dir.File("out/" + expected[i]), tracks[i]));
  EXPECT_TRUE(ClosesCleanly(p, window));
}

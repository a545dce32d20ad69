// The settings file as the maker writes it, byte for byte: the defaults, and a file whose
// every entry differs from its default (read back and written again).
#include <gtest/gtest.h>

#include <string>

#include "maker/settings/settings_table.h"
#include "tests/common/temp_dir.h"

namespace {

const PassThroughProbe kPassThrough = [] { return true; };

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Every entry away from its default: integers 11, 12, ... in file order (UseWinNTRawRead 1,
// as the access-method check keeps it), with a negative number and two texts that read as
// 0 and 12; texts with a non-ASCII character, and two texts longer than their field, one
// of them with a two-byte character across the field's end.
std::string NonDefaultInput() {
  std::string text = "[Options]\n";
  int number = 11;
  for (const SettingEntry& entry : SettingEntries()) {
    const std::string key = entry.key;
    if (entry.kind == SettingKind::Int)
      text += key + "=" + (key == "UseWinNTRawRead" ? "1"
                           : key == "ReadSector"    ? "abc"
                           : key == "CDSpeed"       ? "12x"
                           : key == "Version"       ? "-11"
                                                    : std::to_string(number)) +
              "\n";
    else if (key == "OutputPath")
      text += key + "=/" + std::string(253, 'p') + "\xC3\xA9" + "tail\n";
    else if (key == "ExternalProgram7")
      text += key + "=" + std::string(800, 'x') + "\n";
    else
      text += key + "=" + key + " caf\xC3\xA9 \"$full$\"\n";
    ++number;
  }
  // Read offsets of two drive models; the section is written back in key order.
  text += "\n[Read Offsets]\nZimbar - Disc image=-667\nPLEXTOR - DVDR PX-716A=30x\n";
  return text;
}

}  // namespace

// The file written from the defaults: the login and host names stand for the machine's.
extern const char* const kDefaultFileBytes;
// The file written after reading NonDefaultInput(); @X779@ and @P253@ stand for 779 "x"
// and 253 "p".
extern const char* const kNonDefaultFileBytes;

// Catches any change of key, order, default, number format, text cut or line ending in the
// written settings file. (AACUseADTS defaults to 1: ADTS is what other players read.
// CD2MP3DelTempOnError defaults to 1: a cancelled rip leaves no full-size reads behind.)
TEST(SettingsFileBytes, DefaultsAreWrittenAsBefore) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  const SettingsTable defaults;
  ASSERT_TRUE(defaults.Save(path));
  std::string expected = Replace(kDefaultFileBytes, "CDDBUser=@USER@", "CDDBUser=" + MakerSettingDefaults().cddbUser.str());
  expected = Replace(expected, "CDDBHost=@HOST@", "CDDBHost=" + MakerSettingDefaults().cddbHost.str());
  EXPECT_EQ(ReadText(path), expected);
}

TEST(SettingsFileBytes, EveryEntryChangedIsReadAndWrittenAsBefore) {
  TempDir dir;
  WriteText(dir.File("in.INI"), NonDefaultInput());
  SettingsTable s;
  ASSERT_TRUE(s.Load(dir.File("in.INI"), kPassThrough));
  ASSERT_TRUE(s.Save(dir.File("out.INI")));
  const std::string written = ReadText(dir.File("out.INI"));
  std::string expected = Replace(kNonDefaultFileBytes, "@X779@", std::string(779, 'x'));
  expected = Replace(expected, "@P253@", std::string(253, 'p'));
  EXPECT_EQ(written, expected);
}

// Catches a member of the record tied to another key than its own (or to none): every
// member set by name writes the file that reading NonDefaultInput() writes.
TEST(SettingsFileBytes, EveryMemberIsWrittenUnderItsOwnKey) {
  SettingsTable s;
  const auto text = [](const char* key) { return std::string(key) + " caf\xC3\xA9 \"$full$\""; };
  s.version = -11;
  s.cd2mp3DelTempOnSuccess = 12;
  s.cd2mp3DelTempOnError = 13;
  s.cd2mp3DelMp3OnError = 14;
  s.cd2wavDelWavOnError = 15;
  s.wav2mp3DelWavOnSuccess = 16;
  s.wav2mp3DelMp3OnError = 17;
  s.mp32wavDelMp3OnSuccess = 18;
  s.mp32wavDelWavOnError = 19;
  s.confirmOverwrite = 20;
  s.clearReaderLogOnStart = 21;
  s.clearEncoderLogOnStart = 22;
  s.useWinNtRawRead = 1;
  s.aspiReadMode = 24;
  s.readSector = 0;
  s.jitterCorrection = 26;
  s.overlapPercent = 27;
  s.maxSyncNoMatchRetry = 28;
  s.maxSyncMisalignRetry = 29;
  s.channels = 30;
  s.mpegMode = 31;
  s.mpeg1BitRate = 32;
  s.mpeg2BitRate = 33;
  s.aacBitRate = 34;
  s.aacUseAdts = 35;
  s.extPgm = 36;
  s.fastMode = 37;
  s.useMmx = 38;
  s.useLtp = 39;
  s.useTns = 40;
  s.usePns = 41;
  s.adjustCdSpeed = 42;
  s.cdSpeed = 12;
  for (int slot = 0; slot < kExternalProgramSlots; ++slot)
    s.externalPrograms[static_cast<size_t>(slot)] = text(("ExternalProgram" + std::to_string(slot)).c_str());
  s.externalPrograms[7] = std::string(800, 'x');  // cut to 779 bytes
  s.normalize = 54;
  s.normalizePercent = 55;
  s.normalizeMin = 56;
  s.normalizeMax = 57;
  s.beepWhenDone = 58;
  s.bringToFrontWhenDone = 59;
  s.outputPath = "/" + std::string(253, 'p') + "\xC3\xA9" + "tail";  // cut before the two-byte character
  s.useHttpProxy = 61;
  s.useSocksProxy = 62;
  s.useFileNameFormat = 63;
  s.optApplyId3 = 64;
  s.cddbServer = text("CDDBServer");
  s.httpProxy = text("HttpProxy");
  s.socksProxy = text("SocksProxy");
  s.fileNamePattern = text("FileNamePattern");
  s.cddbUser = text("CDDBUser");
  s.cddbHost = text("CDDBHost");
  s.discImages = text("DiscImages");
  s.useMusicBrainz = 72;
  s.musicBrainzServer = text("MusicBrainzServer");
  s.musicBrainzContact = text("MusicBrainzContact");
  s.accurateRip = 75;
  s.accurateRipServer = text("AccurateRipServer");
  s.secureMode = 77;
  s.secureRetries = 78;
  s.burstThenVerify = 79;
  s.m4aBitRate = 80;
  s.flacLevel = 81;
  s.flacVerify = 82;
  s.vorbisQuality = 83;
  s.opusBitRate = 84;
  s.replayGain = 85;
  s.replayGainFiles = 86;
  s.coverArt = 87;
  s.coverArtServer = text("CoverArtServer");
  s.encoderJobs = 89;
  s.SetReadOffset("Zimbar - Disc image", -667);
  s.SetReadOffset("PLEXTOR - DVDR PX-716A", 30);
  EXPECT_EQ(s.outputPath.str().size(), 254u);

  TempDir dir;
  ASSERT_TRUE(s.Save(dir.File("out.INI")));
  std::string expected = Replace(kNonDefaultFileBytes, "@X779@", std::string(779, 'x'));
  expected = Replace(expected, "@P253@", std::string(253, 'p'));
  EXPECT_EQ(ReadText(dir.File("out.INI")), expected);

  // Read back, the record is the one saved; the key-based access sees the same members.
  SettingsTable loaded;
  ASSERT_TRUE(loaded.Load(dir.File("out.INI"), kPassThrough));
  EXPECT_TRUE(static_cast<const MakerSettingValues&>(loaded) == s);
  EXPECT_EQ(loaded.mpegMode, 31);
  EXPECT_EQ(loaded.cddbHost.str(), text("CDDBHost"));
  loaded.outputPath = "/music";
  EXPECT_EQ(loaded.outputPath, "/music");
}

// Written by the maker before its settings became a typed record.
const char* const kDefaultFileBytes = R"ini([Options]
Version=0
CD2MP3DelTempOnSuccess=1
CD2MP3DelTempOnError=1
CD2MP3DelMP3OnError=0
CD2WAVDelWAVOnError=0
WAV2MP3DelWAVOnSuccess=0
WAV2MP3DelMP3OnError=0
MP32WAVDelMP3OnSuccess=0
MP32WAVDelWAVOnError=0
ConfirmOverwrite=0
ClearReaderLogOnStart=0
ClearEncoderLogOnStart=0
UseWinNTRawRead=0
ASPIReadMode=0
ReadSector=4
JitterCorrection=1
OverlapPercent=2
MaxSyncNoMatchRetry=3
MaxSyncMisalignRetry=0
Channels=1
MPEGMode=1
MPEG1BitRate=8
MPEG2BitRate=8
AACBitRate=4
AACUseADTS=1
ExtPgm=0
FastMode=1
UseMMX=1
UseLTP=1
UseTNS=0
UsePNS=0
AdjustCDSpeed=0
CDSpeed=0
ExternalProgram0=lame "$full$" "$path$$name$.mp3"
ExternalProgram1=ffmpeg -i "$full$" "$drive$$dir$$name$.ogg"
ExternalProgram2=
ExternalProgram3=
ExternalProgram4=
ExternalProgram5=
ExternalProgram6=
ExternalProgram7=
ExternalProgram8=
ExternalProgram9=
Normalize=0
NormalizePercent=100
NormalizeMin=95
NormalizeMax=100
BeepWhenDone=0
BringToFrontWhenDone=0
OutputPath=
UseHttpProxy=0
UseSocksProxy=0
UseFileNameFormat=0
OptApplyID3=0
CDDBServer=http://gnudb.gnudb.org:80
HttpProxy=proxyhost:8080
SocksProxy=proxyhost:1080
FileNamePattern=($artist$) [$title$] [$track#$] $trackname$
CDDBUser=@USER@
CDDBHost=@HOST@
DiscImages=
UseMusicBrainz=0
MusicBrainzServer=https://musicbrainz.org
MusicBrainzContact=
AccurateRip=1
AccurateRipServer=http://www.accuraterip.com
SecureMode=0
SecureRetries=5
BurstThenVerify=0
M4ABitRate=4
FlacLevel=5
FlacVerify=1
VorbisQuality=5
OpusBitRate=160
ReplayGain=1
ReplayGainFiles=0
CoverArt=1
CoverArtServer=https://coverartarchive.org
EncoderJobs=0
)ini";
const char* const kNonDefaultFileBytes = R"ini([Options]
Version=-11
CD2MP3DelTempOnSuccess=12
CD2MP3DelTempOnError=13
CD2MP3DelMP3OnError=14
CD2WAVDelWAVOnError=15
WAV2MP3DelWAVOnSuccess=16
WAV2MP3DelMP3OnError=17
MP32WAVDelMP3OnSuccess=18
MP32WAVDelWAVOnError=19
ConfirmOverwrite=20
ClearReaderLogOnStart=21
ClearEncoderLogOnStart=22
UseWinNTRawRead=1
ASPIReadMode=24
ReadSector=0
JitterCorrection=26
OverlapPercent=27
MaxSyncNoMatchRetry=28
MaxSyncMisalignRetry=29
Channels=30
MPEGMode=31
MPEG1BitRate=32
MPEG2BitRate=33
AACBitRate=34
AACUseADTS=35
ExtPgm=36
FastMode=37
UseMMX=38
UseLTP=39
UseTNS=40
UsePNS=41
AdjustCDSpeed=42
CDSpeed=12
ExternalProgram0=ExternalProgram0 café "$full$"
ExternalProgram1=ExternalProgram1 café "$full$"
ExternalProgram2=ExternalProgram2 café "$full$"
ExternalProgram3=ExternalProgram3 café "$full$"
ExternalProgram4=ExternalProgram4 café "$full$"
ExternalProgram5=ExternalProgram5 café "$full$"
ExternalProgram6=ExternalProgram6 café "$full$"
ExternalProgram7=@X779@
ExternalProgram8=ExternalProgram8 café "$full$"
ExternalProgram9=ExternalProgram9 café "$full$"
Normalize=54
NormalizePercent=55
NormalizeMin=56
NormalizeMax=57
BeepWhenDone=58
BringToFrontWhenDone=59
OutputPath=/@P253@
UseHttpProxy=61
UseSocksProxy=62
UseFileNameFormat=63
OptApplyID3=64
CDDBServer=CDDBServer café "$full$"
HttpProxy=HttpProxy café "$full$"
SocksProxy=SocksProxy café "$full$"
FileNamePattern=FileNamePattern café "$full$"
CDDBUser=CDDBUser café "$full$"
CDDBHost=CDDBHost café "$full$"
DiscImages=DiscImages café "$full$"
UseMusicBrainz=72
MusicBrainzServer=MusicBrainzServer café "$full$"
MusicBrainzContact=MusicBrainzContact café "$full$"
AccurateRip=75
AccurateRipServer=AccurateRipServer café "$full$"
SecureMode=77
SecureRetries=78
BurstThenVerify=79
M4ABitRate=80
FlacLevel=81
FlacVerify=82
VorbisQuality=83
OpusBitRate=84
ReplayGain=85
ReplayGainFiles=86
CoverArt=87
CoverArtServer=CoverArtServer café "$full$"
EncoderJobs=89

[Read Offsets]
PLEXTOR - DVDR PX-716A=30
Zimbar - Disc image=-667
)ini";

// The maker's persistent settings: a typed record with one member per INI key, the ordered
// table of those keys, and loading and saving "zbmaker.INI" section "Options".
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "common/error.h"
#include "common/ini_file.h"
#include "maker/settings/encoder_mode.h"

inline constexpr const char* kSettingsFileName = "zbmaker.INI";
inline constexpr const char* kSettingsSection = "Options";
inline constexpr const char* kReadOffsetsSection = "Read Offsets";
inline constexpr int kExternalProgramSlots = 10;
// Buffer sizes of the text settings, terminator included.
inline constexpr size_t kSettingProgramBytes = 780;
inline constexpr size_t kSettingPathBytes = 256;

// A text setting: it holds at most `bytes - 1` bytes of UTF-8, never cut inside a
// character, as the buffer it is stored in. Assigning a longer text keeps what fits.
class SettingText {
 public:
  explicit SettingText(size_t bytes, std::string_view text = {});
  SettingText(const SettingText&) = default;
  // Another setting's text is cut to this one's size too.
  SettingText& operator=(const SettingText& other) { return *this = std::string_view(other.text_); }
  SettingText& operator=(std::string_view text);

  const std::string& str() const { return text_; }
  operator const std::string&() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  bool empty() const { return text_.empty(); }

  bool operator==(const SettingText& other) const { return text_ == other.text_; }
  friend bool operator==(const SettingText& setting, std::string_view text) { return setting.text_ == text; }

 private:
  size_t bytes_;
  std::string text_;
};

// The CDDB greeting's defaults: the login name and the host name of this machine.
std::string DefaultCddbUser();
std::string DefaultCddbHost();

// The most tracks a CD run encodes at once (EncoderJobs).
inline constexpr int kMaxEncoderJobs = 16;

// The maker's settings, one member per INI key of section "Options" (the key is named at
// each member), at its default. Integers are kept as read, so a yes/no setting stored as 2
// is written back as 2; it counts as yes.
struct MakerSettingValues {
  int version = 0;                    // Version
  int cd2mp3DelTempOnSuccess = 1;     // CD2MP3DelTempOnSuccess
  // CD2MP3DelTempOnError: the full-size WAV of a track read but not encoded when the run is
  // cancelled or fails is removed unless a settings file chose to keep it.
  int cd2mp3DelTempOnError = 1;
  int cd2mp3DelMp3OnError = 0;        // CD2MP3DelMP3OnError
  int cd2wavDelWavOnError = 0;        // CD2WAVDelWAVOnError
  int wav2mp3DelWavOnSuccess = 0;     // WAV2MP3DelWAVOnSuccess
  int wav2mp3DelMp3OnError = 0;       // WAV2MP3DelMP3OnError
  int mp32wavDelMp3OnSuccess = 0;     // MP32WAVDelMP3OnSuccess
  int mp32wavDelWavOnError = 0;       // MP32WAVDelWAVOnError
  int confirmOverwrite = 0;           // ConfirmOverwrite
  int clearReaderLogOnStart = 0;      // ClearReaderLogOnStart
  int clearEncoderLogOnStart = 0;     // ClearEncoderLogOnStart
  int useWinNtRawRead = 0;            // UseWinNTRawRead: the OS CD interface (else pass-through)
  int aspiReadMode = 0;               // ASPIReadMode
  int readSector = 4;                 // ReadSector
  int jitterCorrection = 1;           // JitterCorrection
  int overlapPercent = 2;             // OverlapPercent
  int maxSyncNoMatchRetry = 3;        // MaxSyncNoMatchRetry
  int maxSyncMisalignRetry = 0;       // MaxSyncMisalignRetry
  int channels = 1;                   // Channels: 0 mono, 1 joint stereo, 2 stereo
  int mpegMode = kModeMpeg1;          // MPEGMode: see EncoderMode()
  int mpeg1BitRate = 8;               // MPEG1BitRate: index into kMpeg1BitRates
  int mpeg2BitRate = 8;               // MPEG2BitRate: index into kMpeg2BitRates
  int aacBitRate = 4;                 // AACBitRate: index into kAacBitRates
  // AACUseADTS: ADTS frames unless a settings file chose ADIF, which most players other
  // than ours refuse or misread.
  int aacUseAdts = 1;
  int extPgm = 0;                     // ExtPgm: the selected external program slot
  int fastMode = 1;                   // FastMode
  int useMmx = 1;                     // UseMMX
  int useLtp = 1;                     // UseLTP
  int useTns = 0;                     // UseTNS
  int usePns = 0;                     // UsePNS
  int adjustCdSpeed = 0;              // AdjustCDSpeed
  int cdSpeed = 0;                    // CDSpeed
  // ExternalProgram0 ... ExternalProgram9. Slot 0 makes an MP3 with the command-line MP3
  // encoder beside the input, slot 1 an Ogg Vorbis file with ffmpeg.
  std::array<SettingText, kExternalProgramSlots> externalPrograms{
      SettingText(kSettingProgramBytes, "lame \"$full$\" \"$path$$name$.mp3\""),
      SettingText(kSettingProgramBytes, "ffmpeg -i \"$full$\" \"$drive$$dir$$name$.ogg\""),
      SettingText(kSettingProgramBytes), SettingText(kSettingProgramBytes), SettingText(kSettingProgramBytes),
      SettingText(kSettingProgramBytes), SettingText(kSettingProgramBytes), SettingText(kSettingProgramBytes),
      SettingText(kSettingProgramBytes), SettingText(kSettingProgramBytes)};
  int normalize = 0;                  // Normalize
  int normalizePercent = 100;         // NormalizePercent
  int normalizeMin = 95;              // NormalizeMin
  int normalizeMax = 100;             // NormalizeMax
  int beepWhenDone = 0;               // BeepWhenDone
  int bringToFrontWhenDone = 0;       // BringToFrontWhenDone
  SettingText outputPath{kSettingPathBytes};  // OutputPath
  int useHttpProxy = 0;               // UseHttpProxy
  int useSocksProxy = 0;              // UseSocksProxy
  int useFileNameFormat = 0;          // UseFileNameFormat
  int optApplyId3 = 0;                // OptApplyID3
  SettingText cddbServer{kSettingPathBytes, "http://gnudb.gnudb.org:80"};  // CDDBServer
  SettingText httpProxy{kSettingPathBytes, "proxyhost:8080"};              // HttpProxy
  SettingText socksProxy{kSettingPathBytes, "proxyhost:1080"};             // SocksProxy
  SettingText fileNamePattern{kSettingPathBytes, "($artist$) [$title$] [$track#$] $trackname$"};  // FileNamePattern
  // CDDBUser, CDDBHost: CDDB servers ask every client for a real user and host in their
  // greeting.
  SettingText cddbUser{kSettingPathBytes, DefaultCddbUser()};
  SettingText cddbHost{kSettingPathBytes, DefaultCddbHost()};
  // DiscImages: disc images listed as drives after the real ones, paths separated by '|'.
  SettingText discImages{kSettingProgramBytes};
  // UseMusicBrainz: the CD window's lookup source (0 CDDB, 1 MusicBrainz); MusicBrainzServer:
  // the web service's address; MusicBrainzContact: the contact its User-Agent names (the
  // project's site when empty).
  int useMusicBrainz = 0;
  SettingText musicBrainzServer{kSettingPathBytes, "https://musicbrainz.org"};
  SettingText musicBrainzContact{kSettingPathBytes};
  // AccurateRip: verify every ripped track against the AccurateRip database at
  // AccurateRipServer. SecureMode: read every track twice and compare (test and copy), up
  // to SecureRetries more reads when they disagree. BurstThenVerify: read once and re-read
  // securely only the tracks the database does not prove accurate.
  int accurateRip = 1;
  SettingText accurateRipServer{kSettingPathBytes, "http://www.accuraterip.com"};
  int secureMode = 0;
  int secureRetries = 5;
  int burstThenVerify = 0;
  // The other output formats of the "MP3" operations (MPEGMode 5..8): M4ABitRate indexes
  // kAacBitRates; FlacLevel 0..8 with FlacVerify (the encoder decodes what it wrote and
  // compares); VorbisQuality -1..10; OpusBitRate in kbit/s.
  int m4aBitRate = 4;
  int flacLevel = 5;
  int flacVerify = 1;
  int vorbisQuality = 5;
  int opusBitRate = 160;
  // ReplayGain: measure every track of a CD run (EBU R128) and write track and album gain
  // and peak tags at its end; ReplayGainFiles: the same for the files of a WAV encode run,
  // each folder counting as one album.
  int replayGain = 1;
  int replayGainFiles = 0;
  // CoverArt: a CD run whose names came from MusicBrainz fetches the release's front cover
  // from CoverArtServer, embeds it in every file and saves it beside them.
  int coverArt = 1;
  SettingText coverArtServer{kSettingPathBytes, "https://coverartarchive.org"};
  // EncoderJobs: how many tracks a CD run encodes at once (1..16); 0 is automatic, one per
  // processor the program may use.
  int encoderJobs = 0;
  // Section "Read Offsets": the read offset in samples of each drive model, keyed by
  // CdDriveIdentity::Key() ("VENDOR - MODEL").
  std::map<std::string, int> readOffsets;

  bool operator==(const MakerSettingValues&) const = default;
};

// The defaults, as a record made once (the machine-dependent ones as they were then).
const MakerSettingValues& MakerSettingDefaults();

enum class SettingKind { Text = 0, Int = 1 };

// One entry of the table: its key and the member that holds it (`number` for an integer,
// `text` for a text, or the slot of `externalPrograms`).
struct SettingEntry {
  const char* key;
  SettingKind kind;
  int MakerSettingValues::*number = nullptr;
  SettingText MakerSettingValues::*text = nullptr;
  int programSlot = -1;
};

// Every entry in file order.
std::span<const SettingEntry> SettingEntries();
// The member an entry names (the entry's kind must match).
int& NumberOf(MakerSettingValues& values, const SettingEntry& entry);
int NumberOf(const MakerSettingValues& values, const SettingEntry& entry);
SettingText& TextOf(MakerSettingValues& values, const SettingEntry& entry);
const SettingText& TextOf(const MakerSettingValues& values, const SettingEntry& entry);

// Rate tables indexed by MPEG1BitRate, MPEG2BitRate and AACBitRate, in kbit/s;
// 1010 ... 1001 are variable-bitrate quality levels 10 ... 1.
inline constexpr int kMpeg1BitRates[24] = {32,   40,   48,   56,   64,   80,   96,   112,
                                           128,  160,  192,  224,  256,  320,  1010, 1009,
                                           1008, 1007, 1006, 1005, 1004, 1003, 1002, 1001};
inline constexpr int kMpeg2BitRates[24] = {8,    16,   24,   32,   40,   48,   56,   64,
                                           80,   96,   112,  128,  144,  160,  1010, 1009,
                                           1008, 1007, 1006, 1005, 1004, 1003, 1002, 1001};
inline constexpr int kAacBitRates[9] = {64, 80, 96, 112, 128, 160, 192, 224, 256};

// Asks whether the SCSI pass-through access method can be used (libcdio with its MMC
// command entry can be loaded). Tests replace it through SettingsTable::Load's argument.
using PassThroughProbe = std::function<bool()>;
bool ScsiPassThroughUsable();

// The settings of a run: the typed record (read and written through its members), the
// file it is loaded from and saved to, and the values derived from it.
class SettingsTable : public MakerSettingValues {
 public:
  // Every entry at its default.
  SettingsTable() = default;

  void ResetToDefaults();

  // Reads every entry from the file (a missing file or key gives the default; an integer
  // that is not a number reads as 0; a long text is kept up to the entry's size), then
  // applies the access-method check with the probe's answer. An unreadable file is
  // reported and leaves the defaults in place; so is a file refused as no settings file
  // (see IniFile::LoadSettings), which is renamed beside itself first.
  Outcome Load(const std::string& path, const PassThroughProbe& probe = ScsiPassThroughUsable);
  // Writes every entry (integers in decimal), keeping the rest of the file. Atomic. A file
  // that the INI reader refuses is never written over: the save fails.
  Outcome Save(const std::string& path) const;
  // The settings file in the per-user folder; Save creates the folder when needed.
  static std::string DefaultPath();

  // The access-method check: the OS CD interface is always there on Linux, so
  // UseWinNTRawRead becomes 1 when it was set or when pass-through is not usable.
  void ApplyAccessMethodCheck(bool passThroughUsable);
  // The probe's answer at the last Load (false before any Load).
  bool PassThroughAvailable() const { return passThroughAvailable_; }
  // The OS CD interface needs nothing beyond the system, so it is always offered.
  static constexpr bool OsCdInterfaceAvailable() { return true; }

  // The folder CD runs write to: OutputPath when one was chosen, else the default output
  // folder (empty OutputPath: nobody chose one).
  std::string OutputFolder() const { return outputPath.empty() ? defaultOutputFolder_ : outputPath.str(); }
  // The folder that stands in for an empty OutputPath (the window's: the user's music
  // folder). It is no setting: never saved, and OutputPath stays empty.
  void SetDefaultOutputFolder(std::string folder) { defaultOutputFolder_ = std::move(folder); }

  // The read offset stored for a drive model (0 when none is); SetReadOffset stores one.
  int ReadOffsetFor(const std::string& driveKey) const;
  void SetReadOffset(const std::string& driveKey, int offset) { readOffsets[driveKey] = offset; }

  // MPEGMode with values outside 1..8 taken as MPEG-1.
  int EncoderMode() const;
  // How many tracks a CD run encodes at once: EncoderJobs when it is 1..kMaxEncoderJobs,
  // else (0, automatic, or a value out of range) `processors`, kept within 1..kMaxEncoderJobs.
  int EncoderLanes(int processors) const;
  // The format settings, each outside its range taken at its default: FlacLevel 0..8,
  // VorbisQuality -1..10, OpusBitRate 6..512 kbit/s, M4ABitRate an index of kAacBitRates.
  int FlacLevelValue() const;
  int VorbisQualityValue() const;
  int OpusBitRateKbps() const;
  int M4aBitRateKbps() const;
  // The rate of each table at its setting's index; an index outside the table gives the
  // rate at the setting's default index.
  int Mpeg1BitRateKbps() const;
  int Mpeg2BitRateKbps() const;
  int AacBitRateKbps() const;
  // The rate of the table EncoderMode() uses (MPEG-1 for modes 1 and 4; the M4A rate for
  // mode 5, the Opus rate for mode 8, 0 for FLAC and Ogg Vorbis).
  int SelectedBitRateKbps() const;
  // ExtPgm, with values outside 0..9 taken as 0.
  int ExternalProgramIndex() const;
  const std::string& ExternalProgram(int slot) const;  // slot outside 0..9 → slot 0
  const std::string& SelectedExternalProgram() const { return ExternalProgram(ExternalProgramIndex()); }

 private:
  bool passThroughAvailable_ = false;
  std::string defaultOutputFolder_;
};

// The program-wide settings of the maker, read by every part of it. Main thread only;
// workers get the values they need copied into their job fields.
SettingsTable& MakerSettings();

// zbmaker --batch rips that prove themselves: AccurateRip verdicts from a loopback server,
// burst then verify, the drive's read offset, the rip log and its check.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "../metadata/loopback_server.h"
#include "batch_test_support.h"
#include "cdaccess/track_table.h"
#include "maker/accuracy/accuraterip.h"

using namespace batch_test;

namespace {

// Three tracks of odd lengths (sectors), noise whose samples never repeat, so that a
// shifted read has other checksums.
constexpr int32_t kTrackSectors[] = {200, 157, 231};
constexpr int kTracks = 3;
constexpr int kConfidence = 12;

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIX32, value);
  return text;
}

// "mm:ss:ff" of a sector address.
std::string Msf(int32_t sector) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", sector / 4500, sector / 75 % 60, sector % 75);
  return text;
}

// Serves the disc's record at its path and 404 for anything else; with `stall` it reads the
// request and never answers.
ConnectionHandler AccurateRipHandler(std::string path, std::string record, bool stall = false) {
  return [path = std::move(path), record = std::move(record), stall](TestConnection& connection) {
    const auto request = connection.ReadUntil("\r\n\r\n");
    if (!request) return;
    if (stall) {
      connection.Stall();
      return;
    }
    const bool found = request->rfind("GET " + path + " ", 0) == 0;
    const std::string body = found ? record : std::string("not found");
    connection.Send("HTTP/1.1 " + std::string(found ? "200 OK" : "404 Not Found") +
                    "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body);
  };
}

class BatchVerifiedRip : public BatchEndToEnd {
 protected:
  void SetUp() override {
    BatchEndToEnd::SetUp();
    // The disc image: disc.bin of deterministic noise and its sheet.
    uint32_t state = 12345;
    std::vector<uint32_t> frames;
    int32_t sector = 0;
    std::string cue = "FILE \"disc.bin\" BINARY\n";
    table.audio = 1;
    table.trackCount = kTracks;
    for (int t = 1; t <= kTracks; ++t) {
      char line[64];
      std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %s\n", t, Msf(sector).c_str());
      cue += line;
      table.start[static_cast<size_t>(t)] = sector;
      table.length[static_cast<size_t>(t)] = kTrackSectors[t - 1];
      sector += kTrackSectors[t - 1];
    }
    table.start[kTracks + 1] = sector;
    frames.resize(static_cast<size_t>(sector) * kCdFramesPerSector);
    for (uint32_t& frame : frames) {
      state = state * 1664525u + 1013904223u;
      frame = (state >> 8) ^ (state << 20);
    }
    std::ofstream(dir + "/disc.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(frames.data()), static_cast<std::streamsize>(frames.size() * 4));
    std::ofstream(dir + "/disc.cue") << cue;

    // The record: three pressings of the disc, the second one this rip's.
    ids = ComputeAccurateRipDiscIds(table);
    AccurateRipRecord record;
    for (int pressing = 0; pressing < 3; ++pressing) {
      AccurateRipPressing entry{.id1 = ids.id1, .id2 = ids.id2, .cddb = ids.cddb, .tracks = {}};
      for (int t = 1; t <= kTracks; ++t) {
        const size_t first = static_cast<size_t>(table.start[static_cast<size_t>(t)]) * kCdFramesPerSector;
        const size_t count = static_cast<size_t>(kTrackSectors[t - 1]) * kCdFramesPerSector;
        const AccurateRipSums sums =
            AccurateRipChecksums(std::span(frames).subspan(first, count), t == 1, t == kTracks);
        if (pressing == 0) expected.push_back(sums);
        const uint32_t crc = pressing == 1 ? sums.v2 : sums.v2 ^ (0x1000u * static_cast<uint32_t>(pressing + 1));
        entry.tracks.push_back({.confidence = static_cast<uint8_t>(pressing == 1 ? kConfidence : 3 + pressing),
                                .crc = crc,
                                .frame450Crc = 0});
      }
      record.pressings.push_back(entry);
    }
    recordBytes = EncodeAccurateRipRecord(record);
  }

  std::string Server(const LoopbackServer& server) const {
    return " --accuraterip-server http://127.0.0.1:" + std::to_string(server.Port());
  }
  // "Track 02: accurately ripped (confidence 12, v2)  AccurateRip v1 ... v2 ..."
  std::string AccurateLine(int track) const {
    const AccurateRipSums& sums = expected[static_cast<size_t>(track - 1)];
    char heading[16];
    std::snprintf(heading, sizeof heading, "Track %02d: ", track);
    return heading + std::string("accurately ripped (confidence ") + std::to_string(kConfidence) +
           ", v2)  AccurateRip v1 " + Hex8(sums.v1) + " v2 " + Hex8(sums.v2);
  }

  TrackTable table;
  AccurateRipDiscIds ids;
  std::vector<AccurateRipSums> expected;
  std::string recordBytes;
};

}  // namespace

// Catches an exact rip that is not reported accurate with the matching pressing's
// confidence, result lines scripts cannot read, a missing rip log, cue sheet or play
// list, and a log check that passes an edited log.
TEST_F(BatchVerifiedRip, ExactRipIsAccurateAndItsLogVerifies) {
  LoopbackServer server(AccurateRipHandler(ids.RecordPath(), recordBytes));
  RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out --title Album" + Server(server));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("AccurateRip: looking up http://127.0.0.1:" + std::to_string(server.Port()) + ids.RecordPath()),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("AccurateRip: the disc is in the database (3 pressings)"), std::string::npos) << r.output;
  for (int t = 1; t <= kTracks; ++t) EXPECT_NE(r.output.find(AccurateLine(t)), std::string::npos) << t << r.output;
  EXPECT_EQ(Count(r.output, "[Accurate (" + std::to_string(kConfidence) + ")]"), kTracks) << r.output;
  EXPECT_EQ(Count(r.output, "Copy CRC "), kTracks);
  for (const char* name : {"out/Album.log", "out/Album.cue", "out/Album.m3u"})
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + name)) << name;
  const std::string m3u = Bytes(dir + "/out/Album.m3u");
  EXPECT_LT(m3u.find("Track01.wav"), m3u.find("Track03.wav")) << m3u;
  EXPECT_NE(Bytes(dir + "/out/Album.cue").find("Track02.wav"), std::string::npos);

  r = Maker("--verify-log out/Album.log");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output, "out/Album.log: the log is intact\n");
  // One byte changed in the middle of the log.
  std::string log = Bytes(dir + "/out/Album.log");
  ASSERT_GT(log.size(), 100u);
  log[log.size() / 2] = log[log.size() / 2] == '7' ? '8' : '7';
  std::ofstream(dir + "/out/Album.log", std::ios::binary | std::ios::trunc) << log;
  r = Maker("--verify-log out/Album.log");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(r.output.rfind("zbmaker: out/Album.log: ", 0), 0u) << r.output;
}

// Catches a bad sector that passes for accurate, and a burst-then-verify run that re-reads
// tracks already proven accurate (or does not re-read the bad one).
TEST_F(BatchVerifiedRip, BadSectorIsNotAccurateAndBurstRereadsOnlyIt) {
  LoopbackServer server(AccurateRipHandler(ids.RecordPath(), recordBytes));
  // Sectors in the middle of track 2.
  const int32_t bad = table.start[2] + 60;
  const RunResult r = RunShell(MakerCommand("--batch --cd2wav --cd-image disc.cue --output out --burst" + Server(server),
                                            "ZIMBAR_CD_SIMULATE=bad=" + std::to_string(bad) + "-" +
                                                std::to_string(bad + 2) + " "));
  EXPECT_NE(r.output.find(AccurateLine(1)), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(AccurateLine(3)), std::string::npos) << r.output;
  const size_t line = r.output.find("Track 02: not accurate");
  ASSERT_NE(line, std::string::npos) << r.output;
  const std::string track2 = r.output.substr(line, r.output.find('\n', line) - line);
  EXPECT_NE(track2.find("(re-read securely)"), std::string::npos) << track2;
  EXPECT_EQ(Count(r.output, "(re-read securely)"), 1) << "only the track that is not accurate is read again\n"
                                                       << r.output;
  EXPECT_NE(r.output.find("[Not accurate]"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Track 02: Track 02"), std::string::npos) << r.output;
  // The rip log keeps what the reader said about the track, not just that it failed.
  const std::string log = Bytes(dir + "/out/rip.log");
  EXPECT_NE(log.find("CD-ROM read error."), std::string::npos) << log;
}

// Catches a drive offset that Find read offset misses or does not save, and a rip with the
// offset set that still does not verify.
TEST_F(BatchVerifiedRip, FindsTheDriveOffsetAndARipWithItVerifies) {
  LoopbackServer server(AccurateRipHandler(ids.RecordPath(), recordBytes));
  const std::string drive = "ZIMBAR_CD_SIMULATE=offset=667 ";
  RunResult r = RunShell(
      MakerCommand("--batch --cd2wav --cd-image disc.cue --output out --read-offset 667" + Server(server), drive));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  for (int t = 1; t <= kTracks; ++t) EXPECT_NE(r.output.find(AccurateLine(t)), std::string::npos) << t << r.output;

  r = RunShell(MakerCommand("--batch --find-offset --cd-image disc.cue" + Server(server), drive));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("+667"), std::string::npos) << r.output;
  const std::string settings = Bytes(dir + "/home/zbmaker.INI");
  EXPECT_NE(settings.find("[Read Offsets]"), std::string::npos) << settings;
  EXPECT_NE(settings.find("=667"), std::string::npos) << settings;
}

// Catches a server that cannot be reached failing the rip (it only warns, and leaves the
// tracks unverified), and Ctrl-C during a lookup that hangs waiting for the time limit.
TEST_F(BatchVerifiedRip, UnreachableServerOnlyWarnsAndCtrlCEndsALookup) {
  // The test environment points the server at a port that refuses connections.
  RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Warning: AccurateRip: "), std::string::npos) << r.output;
  EXPECT_EQ(Count(r.output, "\nOK\t"), kTracks) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/rip.log"));

  LoopbackServer stalling(AccurateRipHandler(ids.RecordPath(), recordBytes, /*stall=*/true));
  r = MakerInterruptedAt("--batch --cd2wav --cd-image disc.cue --output out2" + Server(stalling),
                         "AccurateRip: looking up");
  EXPECT_NE(r.output.find("exit=130\n"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out2/Track01.wav"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/out2/rip.log"));
}

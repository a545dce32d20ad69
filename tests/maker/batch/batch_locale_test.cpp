// zbmaker --batch in a locale whose character set is ASCII (LANG=C, as on a minimal system
// that sets no LANG): names and tags in UTF-8 are bytes to the program, and come out as
// they went in, whatever the locale.
#include "batch_test_support.h"

#include <map>

using namespace batch_test;

namespace {

// The locale variables of one run, before the program: the C locale, and a UTF-8 one to
// compare with.
const std::string kCLocale = "env -u LANGUAGE LC_ALL=C LANG=C ";
const std::string kUtf8Locale = "env -u LANGUAGE LC_ALL=C.UTF-8 LANG=C.UTF-8 ";

// Every file below `root` with its bytes, by its path below `root`.
std::map<std::string, std::string> FilesBelow(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().lexically_relative(root).string()] =
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  return files;
}

// A rip log without its "Date:" line and its SHA-256 line, which differ from run to run.
std::string WithoutTimeAndSeal(const std::string& log) {
  std::string kept;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    end = end == std::string::npos ? log.size() : end + 1;
    const std::string line = log.substr(start, end - start);
    if (!line.starts_with("Date:") && !line.starts_with("SHA-256 ")) kept += line;
    start = end;
  }
  return kept;
}

}  // namespace

using BatchLocale = BatchCdRun;

// Catches UTF-8 file names and tags garbled, escaped or replaced when the program runs in
// the C locale (names from a file's own name, from --title and --name, and from a cue
// sheet), and a run under LANG=C writing other names or bytes than under a UTF-8 locale.
TEST_F(BatchLocale, CLocaleKeepsUtf8NamesAndTagsByteForByte) {
  MakeDiscWithTitles();
  const std::string song = "Café Dämmerung – 夜";
  const std::string wav = MakeWav("song.wav", 1);
  for (const std::string& locale : {kCLocale, kUtf8Locale}) {
    const std::string run = locale == kCLocale ? "c" : "utf8";
    SCOPED_TRACE(run);
    std::filesystem::create_directory(dir + "/" + run);
    std::filesystem::copy_file(wav, dir + "/" + run + "/" + song + ".wav");
    RunResult r = RunShell(MakerCommand("--batch -128 '" + run + "/" + song + ".wav'", locale));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("OK:\t" + dir + "/" + run + "/" + song + ".wav"), std::string::npos) << r.output;

    r = RunShell(MakerCommand("--batch --cd2mp3 --cd-image disc.cue --output " + run +
                                  "/cd --id3 --title 'Ünïcödé Album' --name '2=Zwölf Boxkämpfer'"
                                  " --pattern '$artist$/$title$/$track#$ $trackname$'",
                              locale));
    EXPECT_EQ(r.exitCode, 0) << r.output;
  }
  // The names as they were given: the file's own, the sheet's artist and first track,
  // the typed album title and second track.
  const auto c = FilesBelow(dir + "/c");
  const std::string album = "cd/Café – Ünïcödé/Ünïcödé Album/";
  std::vector<std::string> names;
  for (const auto& [name, bytes] : c) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{song + ".mp3", song + ".wav", album + "01 群青.mp3",
                                             album + "02 Zwölf Boxkämpfer.mp3", album + "Ünïcödé Album.cue",
                                             album + "Ünïcödé Album.log", album + "Ünïcödé Album.m3u"}));
  // Byte for byte what a UTF-8 locale writes: audio, ID3v2 tag and ID3v1 record.
  const auto utf8 = FilesBelow(dir + "/utf8");
  for (const auto& [name, bytes] : c) {
    const auto other = utf8.find(name);
    ASSERT_NE(other, utf8.end()) << name;
    // The rip log carries the time of its rip (and the seal over it).
    if (name.ends_with(".log")) {
      EXPECT_EQ(WithoutTimeAndSeal(other->second), WithoutTimeAndSeal(bytes)) << name;
      continue;
    }
    EXPECT_TRUE(other->second == bytes) << name << ": " << bytes.size() << " bytes, " << other->second.size()
                                        << " under UTF-8";
  }
  const std::string tags = RunShell("ffprobe -v error -show_entries format_tags=title,artist,album "
                                    "-of default=noprint_wrappers=1 '" + dir + "/c/" + album + "02 Zwölf Boxkämpfer.mp3'")
                               .output;
  EXPECT_NE(tags.find("TAG:title=Zwölf Boxkämpfer\n"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:artist=Café – Ünïcödé\n"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:album=Ünïcödé Album\n"), std::string::npos) << tags;
}

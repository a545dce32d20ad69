// The XWI entries end to end: the request block, the message ring, cancel and failures, and
// the disc images handed through the interface or, for XWI alone, the environment.
#include "outside/zbntread/zbntread.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "cdaccess/cd_drive_list.h"
#include "common/library_loader.h"
#include "common/unique_fd.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

using Xwi = int32_t (*)(ReaderRequest*);
using XwiWithImages = int32_t (*)(ReaderRequest*, const char* const*, int32_t);

// Unsets an environment variable for the life of the object.
class ScopedUnset {
 public:
  explicit ScopedUnset(const char* name) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    unsetenv(name);
  }
  ~ScopedUnset() {
    if (old_) setenv(name_, old_->c_str(), 1);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class XwiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = OutsideLibrary::Open("zbntread");
    ASSERT_TRUE(library_.Loaded()) << library_.LoadError();
    xwi_ = library_.Entry<Xwi>("XWI");
    ASSERT_NE(xwi_, nullptr);
    xwiWithImages_ = library_.Entry<XwiWithImages>("XWIWithImages");
    ASSERT_NE(xwiWithImages_, nullptr);
  }

  // Starts the work with this test's image as the only disc image, as the maker does.
  int32_t Start(ReaderRequest& r) {
    const char* const images[] = {image_.CuePath().c_str()};
    return xwiWithImages_(&r, images, 1);
  }

  UniqueFd OpenOutput() { return UniqueFd(open(dir_.File("out.wav").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)); }

  ReaderRequest Request(int drive, int track, int fd) {
    ReaderRequest r{};
    r.file = fd;
    r.normalize = 1;
    r.osInterface = 1;
    r.drive = drive;
    r.firstSector = image_.Start(track);
    r.endSector = image_.End(track);
    r.sectorsPerRead = 16;
    r.overlapPercent = 20;
    r.syncNoMatchRetries = 3;
    return r;
  }

  // Polls like the reading thread: every 10 ms, consuming the ring, until done.
  std::vector<ReaderMessage> Drain(ReaderRequest& r, int cancelAfterPolls = -1) {
    std::vector<ReaderMessage> seen;
    int polls = 0;
    auto consume = [&] {
      std::atomic_ref<int32_t> write(r.writeIndex), read(r.readIndex);
      while (read.load() != write.load()) {
        seen.push_back(r.ring[read.load()]);
        read.store((read.load() + 1) % READER_RING_ENTRIES);
      }
    };
    while (std::atomic_ref<int32_t>(r.done).load() == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      consume();
      if (++polls == cancelAfterPolls) std::atomic_ref<int32_t>(r.cancel).store(1);
    }
    consume();
    return seen;
  }

  testcd::ScopedEnv libDir_{"ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR};
  testcd::TempDir dir_;
  testcd::DiscImage image_{dir_.Path(), "disc",
                           {testcd::Noise(60, 4, 30000), testcd::Join({testcd::Tone(1500, 523.0, 20000), testcd::Noise(3, 8, 100)})}};
  OutsideLibrary library_;
  Xwi xwi_ = nullptr;
  XwiWithImages xwiWithImages_ = nullptr;
};

// Catches: a library that blocks the caller, writes elsewhere than the file's position, or
// reports wrong byte counts and peaks.
TEST_F(XwiTest, ReadsTrackBehindTheHeaderAndReportsPeaks) {
  const int drive = image_.DriveIndex();
  UniqueFd fd = OpenOutput();
  ASSERT_EQ(write(fd.Get(), std::string(44, 'H').data(), 44), 44);
  ReaderRequest r = Request(drive, 1, fd.Get());
  ASSERT_EQ(Start(r), 0);
  Drain(r);
  const auto audio = testcd::Bytes(image_.Track(1));
  EXPECT_EQ(r.audioBytes, static_cast<int32_t>(audio.size()));
  const auto file = testcd::ReadFile(dir_.File("out.wav"));
  ASSERT_EQ(file.size(), 44 + audio.size());
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin() + 44));
  EXPECT_EQ(std::string(file.begin(), file.begin() + 44), std::string(44, 'H'));
  const auto [lo, hi] = std::minmax_element(image_.Track(1).begin(), image_.Track(1).end());
  EXPECT_EQ(r.lowest, *lo);
  EXPECT_EQ(r.highest, *hi);
}

// Catches: a writer that overtakes a slow reader (lost messages) or resets the indices.
TEST_F(XwiTest, RingCarriesOnFromWhereTheLastTrackLeftIt) {
  const int drive = image_.DriveIndex();
  UniqueFd fd = OpenOutput();
  ReaderRequest r = Request(drive, 2, fd.Get());
  r.writeIndex = r.readIndex = 120;
  r.sectorsPerRead = 8;   // 188 reads, each worth a progress message: more than the ring holds
  r.jitterOff = 1;
  ASSERT_EQ(Start(r), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));   // let the ring fill up
  const auto messages = Drain(r);
  int last = -1;
  int progress = 0;
  for (const auto& m : messages) {
    if (m.type != READER_MSG_PROGRESS) continue;
    EXPECT_GT(m.value, last);
    EXPECT_LT(m.value - last, 60) << "a message was lost";   // one read is 0.53 %
    last = m.value;
    ++progress;
  }
  EXPECT_EQ(last, 10000);
  EXPECT_GT(progress, READER_RING_ENTRIES);
  EXPECT_EQ(r.readIndex, r.writeIndex);
}

// Catches: a cancel that the library does not see until the end of the track.
TEST_F(XwiTest, CancelEndsTheWorkEarly) {
  const int drive = image_.DriveIndex();
  testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "jitter=30,share=1,seed=2");
  UniqueFd fd = OpenOutput();
  ReaderRequest r = Request(drive, 2, fd.Get());
  r.sectorsPerRead = 8;
  r.overlapPercent = 80;
  ASSERT_EQ(Start(r), 0);
  Drain(r, /*cancelAfterPolls=*/1);
  EXPECT_LT(r.audioBytes, static_cast<int32_t>(image_.Track(2).size() * 2));
  EXPECT_EQ(lseek(fd.Get(), 0, SEEK_END), r.audioBytes);
}

// Catches: failures that end without a message, or a done flag never set.
TEST_F(XwiTest, FailuresArePostedAsTypedMessages) {
  const int drive = image_.DriveIndex();
  {
    UniqueFd fd = OpenOutput();
    ReaderRequest r = Request(drive + 5, 1, fd.Get());   // no such drive
    ASSERT_EQ(Start(r), 0);
    const auto messages = Drain(r);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, READER_MSG_INIT_ERROR);
  }
  {
    UniqueFd full(open("/dev/full", O_WRONLY));
    ASSERT_TRUE(full);
    ReaderRequest r = Request(drive, 1, full.Get());   // the disk is full
    ASSERT_EQ(Start(r), 0);
    const auto messages = Drain(r);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().type, READER_MSG_WRITE_ERROR);
    EXPECT_EQ(r.audioBytes, 0);
  }
  EXPECT_EQ(xwi_(nullptr), -1);
  EXPECT_EQ(xwiWithImages_(nullptr, nullptr, 0), -1);
  // An image list that cannot be read starts nothing and says so through the block.
  for (int32_t count : {-1, 1}) {
    UniqueFd fd = OpenOutput();
    ReaderRequest r = Request(drive, 1, fd.Get());
    const char* const missing[] = {nullptr};
    EXPECT_EQ(xwiWithImages_(&r, count < 0 ? nullptr : missing, count), -1);
    EXPECT_EQ(r.done, 1);
    const auto messages = Drain(r);
    ASSERT_EQ(messages.size(), 1u) << count;
    EXPECT_EQ(messages[0].type, READER_MSG_INIT_ERROR);
  }
}

// Catches: images that reach the library only through the environment, or an environment
// that overrides the images the caller names.
TEST_F(XwiTest, ImagesGivenThroughTheInterfaceNeedNoEnvironment) {
  const int drive = image_.DriveIndex();
  const testcd::DiscImage other(dir_.Path(), "other", {testcd::Noise(30, 11, 1000)});
  for (bool environment : {false, true}) {
    ScopedUnset unset(kDiscImagesVariable);
    std::optional<testcd::ScopedEnv> elsewhere;
    if (environment) elsewhere.emplace(kDiscImagesVariable, DiscImagesVariableValue(other.Images()));
    UniqueFd fd = OpenOutput();
    ReaderRequest r = Request(drive, 1, fd.Get());
    ASSERT_EQ(Start(r), 0);
    const auto messages = Drain(r);
    for (const auto& m : messages) EXPECT_NE(m.type, READER_MSG_INIT_ERROR) << environment;
    const auto audio = testcd::Bytes(image_.Track(1));
    const auto file = testcd::ReadFile(dir_.File("out.wav"));
    EXPECT_EQ(r.audioBytes, static_cast<int32_t>(audio.size())) << environment;
    EXPECT_TRUE(file == audio) << environment;
  }
}

// Catches: old callers, which name the images in ZIMBAR_CD_IMAGES and call XWI, losing them.
TEST_F(XwiTest, XwiAloneTakesTheImagesOfTheEnvironment) {
  const int drive = image_.DriveIndex();
  {
    const testcd::ScopedEnv images(kDiscImagesVariable, DiscImagesVariableValue(image_.Images()));
    UniqueFd fd = OpenOutput();
    ReaderRequest r = Request(drive, 1, fd.Get());
    ASSERT_EQ(xwi_(&r), 0);
    Drain(r);
    EXPECT_TRUE(testcd::ReadFile(dir_.File("out.wav")) == testcd::Bytes(image_.Track(1)));
  }
  {
    ScopedUnset unset(kDiscImagesVariable);   // no images: the index is beyond the list
    UniqueFd fd = OpenOutput();
    ReaderRequest r = Request(drive, 1, fd.Get());
    ASSERT_EQ(xwi_(&r), 0);
    const auto messages = Drain(r);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, READER_MSG_INIT_ERROR);
  }
}

// The frames the audio hook of XWIWithOptions was handed, in order.
struct HookFrames {
  std::vector<uint32_t> frames;
  static void Take(void* user, const uint32_t* frames, int32_t count) {
    auto* self = static_cast<HookFrames*>(user);
    self->frames.insert(self->frames.end(), frames, frames + count);
  }
};

// The disc's audio as stereo frames (left sample in the low half), tracks one after another.
std::vector<uint32_t> Frames(const std::vector<int16_t>& samples) {
  std::vector<uint32_t> frames(samples.size() / 2);
  for (size_t i = 0; i < frames.size(); ++i)
    frames[i] = static_cast<uint16_t>(samples[2 * i]) | static_cast<uint32_t>(static_cast<uint16_t>(samples[2 * i + 1])) << 16;
  return frames;
}

class XwiOptionsTest : public XwiTest {
 protected:
  // Reads `track` with `offset`, the mono flag as given, and returns what the hook saw and
  // the messages.
  std::pair<HookFrames, std::vector<ReaderMessage>> Read(int track, int32_t offset, bool mono = false) {
    XwiWithOptions entry = library_.Entry<XwiWithOptions>("XWIWithOptions");
    EXPECT_NE(entry, nullptr);
    UniqueFd fd = OpenOutput();
    ReaderRequest r = Request(image_.DriveIndex(), track, fd.Get());
    r.mono = mono ? 1 : 0;
    HookFrames hook;
    const char* const images[] = {image_.CuePath().c_str()};
    ReaderOptions options{};
    options.imagePaths = images;
    options.imageCount = 1;
    options.readOffset = offset;
    options.audio = &HookFrames::Take;
    options.audioUser = &hook;
    EXPECT_EQ(entry(&r, &options), 0);
    auto messages = Drain(r);
    written_ = testcd::ReadFile(dir_.File("out.wav"));
    return {std::move(hook), std::move(messages)};
  }
  using XwiWithOptions = int32_t (*)(ReaderRequest*, const ReaderOptions*);
  std::vector<uint8_t> written_;
};

std::vector<ReaderMessage> OfType(const std::vector<ReaderMessage>& messages, uint8_t type) {
  std::vector<ReaderMessage> found;
  for (const ReaderMessage& m : messages)
    if (m.type == type) found.push_back(m);
  return found;
}

// Catches: an offset applied the wrong way, frames lost or repeated where the read crosses a
// track boundary, silence missing (or unannounced) where the shifted track leaves the disc,
// and a hook that sees something else than the file gets.
TEST_F(XwiOptionsTest, TheReadOffsetShiftsTheTrackAndFillsWhatLiesOutsideTheDiscWithSilence) {
  std::vector<uint32_t> disc = Frames(image_.Track(1));
  const std::vector<uint32_t> second = Frames(image_.Track(2));
  const size_t firstFrames = disc.size();
  disc.insert(disc.end(), second.begin(), second.end());

  {  // Track 2 read 700 frames late: into its own audio, then 700 frames past the lead-out.
    auto [hook, messages] = Read(2, 700);
    ASSERT_EQ(hook.frames.size(), second.size());
    EXPECT_TRUE(std::equal(second.begin() + 700, second.end(), hook.frames.begin()));
    EXPECT_TRUE(std::all_of(hook.frames.end() - 700, hook.frames.end(), [](uint32_t f) { return f == 0; }));
    const auto outside = OfType(messages, READER_MSG_OUTSIDE_DISC);
    ASSERT_EQ(outside.size(), 1u);
    EXPECT_EQ(outside[0].value, 700);
    EXPECT_EQ(outside[0].extra, 1);
    ASSERT_EQ(written_.size(), second.size() * 4);
    EXPECT_EQ(std::memcmp(written_.data(), hook.frames.data(), written_.size()), 0);
  }
  {  // Track 2 read 1 000 frames early: the end of track 1 first, nothing outside the disc.
    auto [hook, messages] = Read(2, -1000);
    ASSERT_EQ(hook.frames.size(), second.size());
    EXPECT_TRUE(std::equal(hook.frames.begin(), hook.frames.end(), disc.begin() + static_cast<ptrdiff_t>(firstFrames) - 1000));
    EXPECT_TRUE(OfType(messages, READER_MSG_OUTSIDE_DISC).empty());
  }
  {  // Track 1 read 30 frames early: 30 frames before the disc's first sample are silence.
    auto [hook, messages] = Read(1, -30);
    ASSERT_EQ(hook.frames.size(), firstFrames);
    EXPECT_TRUE(std::all_of(hook.frames.begin(), hook.frames.begin() + 30, [](uint32_t f) { return f == 0; }));
    EXPECT_TRUE(std::equal(hook.frames.begin() + 30, hook.frames.end(), disc.begin()));
    const auto outside = OfType(messages, READER_MSG_OUTSIDE_DISC);
    ASSERT_EQ(outside.size(), 1u);
    EXPECT_EQ(outside[0].value, 30);
    EXPECT_EQ(outside[0].extra, 0);
  }
}

// Catches: a simulated drive's read offset and the reader's correction that disagree in sign
// or size, so that correcting a drive by its own offset would not give the disc back.
TEST_F(XwiOptionsTest, CorrectingASimulatedDrivesOffsetGivesTheDiscBack) {
  const std::vector<uint32_t> first = Frames(image_.Track(1));
  const std::vector<uint32_t> second = Frames(image_.Track(2));
  const auto silent = [](auto begin, auto end) { return std::all_of(begin, end, [](uint32_t f) { return f == 0; }); };
  for (const char* faults : {"offset=+667", "offset=+667,jitter=40,share=0.5,seed=3"}) {
    const testcd::ScopedEnv early("ZIMBAR_CD_SIMULATE", faults);
    EXPECT_EQ(Read(1, 667).first.frames, first) << faults;
    // The disc's last 667 frames lie past the lead-out for this drive: silence.
    const HookFrames two = Read(2, 667).first;
    ASSERT_EQ(two.frames.size(), second.size());
    EXPECT_TRUE(std::equal(second.begin(), second.end() - 667, two.frames.begin())) << faults;
    EXPECT_TRUE(silent(two.frames.end() - 667, two.frames.end())) << faults;
  }
  const testcd::ScopedEnv late("ZIMBAR_CD_SIMULATE", "offset=-30");
  // The disc's first 30 frames lie before this drive's first readable frame.
  const HookFrames one = Read(1, -30).first;
  ASSERT_EQ(one.frames.size(), first.size());
  EXPECT_TRUE(silent(one.frames.begin(), one.frames.begin() + 30));
  EXPECT_TRUE(std::equal(first.begin() + 30, first.end(), one.frames.begin() + 30));
  EXPECT_EQ(Read(2, -30).first.frames, second);
}

// Catches a hook fed after the conversion: a mono rip must still be checkable against the disc.
TEST_F(XwiOptionsTest, TheHookSeesTheStereoAudioOfAMonoRip) {
  auto [hook, messages] = Read(1, 0, /*mono=*/true);
  const std::vector<uint32_t> first = Frames(image_.Track(1));
  EXPECT_EQ(hook.frames, first);
  EXPECT_EQ(written_.size(), first.size() * 2);
}

}  // namespace

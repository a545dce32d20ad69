// Fuzz target: a skin folder made of display.Ini text and generated bitmaps with hostile
// header fields, read as the windows read it (bitmaps bounded by their headers before they
// are decoded, every rectangle cut to its window) and, when it can be shown, applied to the
// main and equalizer faces offscreen, cutting every image, shape and area the windows cut.
//
// Input: two bitmap records of kRecordBytes each, for main.bmp and then eq.bmp, followed by
// the text of display.Ini. A record holds, little-endian: width and height (int32, written
// as the header's fields; a negative height stores the rows top-down), bit count (uint16),
// compression and colours used (uint32 each), the share of the pixel data the header asks
// for that is written (uint8: 255 all of it, else n/256, at most kDataLimit bytes either
// way) and the pixel pattern (uint8: a pixel is black where (x ^ y) & pattern is 0).
#include <QApplication>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "player/skin/skin_bands.h"
#include "player/skin/skin_bounds.h"
#include "player/ui/equalizer_skin_face.h"
#include "player/ui/gbutton.h"
#include "player/ui/gslider.h"
#include "player/ui/gvtrack.h"
#include "player/ui/image_window.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/skin_image.h"
#include "player/ui/visualization.h"
#include "tests/player/skin/bmp_file.h"

namespace {

constexpr size_t kRecordBytes = 4 + 4 + 2 + 4 + 4 + 1 + 1;
constexpr int64_t kDataLimit = 1 << 20;
constexpr int64_t kPatternBytes = 1 << 14;

struct Record {
  BmpFields fields;
  uint8_t pattern = 0;
};

template <typename T>
T Take(const uint8_t*& p) {
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>(value | (static_cast<T>(p[i]) << (8 * i)));
  p += sizeof(T);
  return value;
}

Record ReadRecord(const uint8_t* p) {
  Record r;
  r.fields.width = static_cast<int32_t>(Take<uint32_t>(p));
  r.fields.height = static_cast<int32_t>(Take<uint32_t>(p));
  r.fields.bitCount = Take<uint16_t>(p);
  r.fields.compression = Take<uint32_t>(p);
  r.fields.coloursUsed = Take<uint32_t>(p);
  const uint8_t share = Take<uint8_t>(p);
  r.pattern = Take<uint8_t>(p);
  const int64_t asked = BmpDataBytes(r.fields);
  r.fields.dataBytes = std::min(share == 255 ? asked : asked / 256 * share, kDataLimit);
  return r;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "skin_fuzz: %s\n", what);
  std::abort();
}

bool Within(const QRect& r, QSize area) { return r.left() >= 0 && r.top() >= 0 && r.right() < area.width() && r.bottom() < area.height(); }

std::string g_folder;
TMainSkinFace* g_main = nullptr;
TEqualizerSkinFace* g_eq = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The faces are widgets; they are never shown, so no display is needed.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication app(*argc, *argv);
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zbskin_fuzz.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("skin_fuzz: mkdtemp");
    std::exit(1);
  }
  g_folder = pattern;
  std::atexit([] {
    for (const char* name : {"/display.Ini", "/main.bmp", "/eq.bmp"}) ::unlink((g_folder + name).c_str());
    ::rmdir(g_folder.c_str());
  });
  g_main = new TMainSkinFace();
  g_eq = new TEqualizerSkinFace();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 * kRecordBytes) return -1;
  const Record records[] = {ReadRecord(data), ReadRecord(data + kRecordBytes)};
  const char* names[] = {"/main.bmp", "/eq.bmp"};
  for (int i = 0; i < 2; ++i) {
    const uint8_t pattern = records[i].pattern;
    // The pixels are made one by one only for the first kPatternBytes; the rest of the data
    // repeats them (making every pixel of a large bitmap took most of the time).
    BmpFields fields = records[i].fields;
    fields.dataBytes = std::min(fields.dataBytes, kPatternBytes);
    std::string file = BmpFile(fields, [pattern](int x, int y) { return ((x ^ y) & pattern) == 0 ? 0u : 0xFFFFFFu; });
    const size_t dataOffset = static_cast<uint8_t>(file[10]) | size_t{static_cast<uint8_t>(file[11])} << 8;
    const std::string pixels = file.substr(std::min(dataOffset, file.size()));
    const size_t wanted = dataOffset + static_cast<size_t>(records[i].fields.dataBytes);
    file.reserve(wanted);
    while (!pixels.empty() && file.size() < wanted) file.append(pixels, 0, std::min(pixels.size(), wanted - file.size()));
    Write(g_folder + names[i], file);
  }
  Write(g_folder + "/display.Ini",
        std::string(reinterpret_cast<const char*>(data) + 2 * kRecordBytes, size - 2 * kRecordBytes));

  const LoadedSkin skin = ReadSkinFolder(QString::fromStdString(g_folder));
  if (skin.Showable()) {
    const QImage& mainBitmap = skin.mainBitmap;
    const QImage& eqBitmap = skin.eqBitmap;
    Check(mainBitmap.width() <= kSkinBitmapSideLimit && mainBitmap.height() <= kSkinBitmapSideLimit, "main.bmp too large");
    Check(eqBitmap.width() <= kSkinBitmapSideLimit && eqBitmap.height() <= kSkinBitmapSideLimit, "eq.bmp too large");
    const BandLayout mainBands = BandLayout::ForMain(mainBitmap.width(), mainBitmap.height(), skin.display.withFocus);
    const BandLayout eqBands = BandLayout::ForEqualizer(eqBitmap.width(), eqBitmap.height());
    const QSize mainWindow(mainBands.Width(), mainBands.BandHeight());
    const QSize eqWindow(eqBands.Width(), eqBands.BandHeight());

    g_main->ApplySkin(skin.display, mainBitmap);
    g_eq->ApplySkin(skin.display, eqBitmap);
    Check(g_main->size() == mainWindow, "main window not one band of its bitmap");
    Check(g_eq->size() == eqWindow, "equalizer window not one band of its bitmap");
    for (const SkinButtonInfo& info : kSkinButtons) {
      const TGButton* button = g_main->Button(info.button);
      if (!skin.display.Button(info.button)) {
        Check(!button->isEnabled(), "a button without a key is enabled");
        continue;
      }
      Check(Within(button->geometry(), mainWindow), "a button outside the main window");
      for (const auto look : {TGButton::Look::Over, TGButton::Look::Pressed, TGButton::Look::Away})
        Check(button->Image(look).size() == button->size(), "a button image not of the button's size");
    }
    for (size_t i = 0; i < kSkinTextFieldCount; ++i)
      if (skin.display.textFields[i])
        Check(Within(g_main->TextField(static_cast<SkinTextField>(i))->geometry(), mainWindow), "a text field outside");
    if (skin.display.visualization) {
      Check(Within(g_main->Visualization()->geometry(), mainWindow), "the visualization outside the main window");
      Check(g_main->Visualization()->Picture().size() == g_main->Visualization()->size(), "visualization picture");
    }
    const TGVTrack* first = g_eq->Track(0);
    Check(Within(first->geometry(), eqWindow), "the first track outside the equalizer window");
    Check(first->Knob()->width() <= eqWindow.width() && first->Knob()->height() <= eqWindow.height(), "knob too large");
    if (skin.display.eqClose) Check(Within(g_eq->CloseButton()->geometry(), eqWindow), "eq_close outside");
  }
  // Deferred deletions and the font cache's upkeep run on the event loop.
  QCoreApplication::processEvents();
  return 0;
}

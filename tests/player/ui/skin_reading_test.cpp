// Tests of reading a skin folder for the windows, offscreen: bitmaps bounded by their
// headers before they are decoded, every rectangle cut to its window, and skins that cannot
// be shown refused with the key or the file that makes them so.
#include <QTest>
#include <gtest/gtest.h>

#include "player/skin/skin_bounds.h"
#include "player/ui/equalizer_skin_face.h"
#include "player/ui/gbutton.h"
#include "player/ui/gslider.h"
#include "player/ui/gvtrack.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/skin_image.h"
#include "player/ui/visualization.h"
#include "tests/common/temp_dir.h"
#include "tests/player/skin/bmp_file.h"
#include "tests/player/ui/skin_test_bitmaps.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A skin folder: main.bmp of four 400 × 120 bands, eq.bmp of three 400 × 150 bands, and a
// display.Ini with disp_with_focus=1 and the lines given.
struct SkinFolder {
  TempDir dir;
  explicit SkinFolder(const std::string& lines) {
    WriteText(dir.File("display.Ini"), "[display]\ndisp_with_focus=1\n" + lines);
    EXPECT_TRUE(BandedBitmap(400, 120, 4).save(Q(dir.File("main.bmp")), "BMP"));
    EXPECT_TRUE(BandedBitmap(400, 150, 3).save(Q(dir.File("eq.bmp")), "BMP"));
  }
  void Bitmap(const char* name, const BmpFields& fields) {
    WriteText(dir.File(name), BmpFile(fields, [](int, int y) { return y % 2 == 0 ? 0u : 0xFFFFFFu; }));
  }
  LoadedSkin Read() const { return ReadSkinFolder(Q(dir.Path())); }
};

}  // namespace

// Catches rectangles taken as written: a width of 2147483647 made the visualization keep
// 8 GiB, a 30000 × 30000 button three 3.6 GB images, and offsets near INT_MAX overflowed
// (an abort under UBSan). Each must be cut to its window, said with its key, and the
// windows must then cut nothing larger than their bitmaps.
TEST(SkinReading, HugeAndNearIntMaxRectanglesAreCutToTheirWindow) {
  SkinFolder folder(
      "btn_play=0 0 2147483647 20\n"
      "btn_stop=10 10 30000 30000\n"
      "btn_next=399 119 2147483647 2147483647\n"
      "disp_info=-100 2 2147483647 10 ff Sans\n"
      "visualization=5 5 2147483647 2147483647 c0c0c0\n"
      "eq_interval=2147483647\n"
      "eq_track=1 1 2147483647 2147483647\n"
      "eq_slider=0 0 2147483647 2147483647\n"
      "eq_check=2147483647 -2147483648 0\n"
      "eq_close=390 140 2147483647 2147483647\n");
  const LoadedSkin skin = folder.Read();
  ASSERT_TRUE(skin.error.isEmpty()) << skin.error.toStdString();
  const DisplayIni& d = skin.display;
  ASSERT_EQ(*d.Button(SkinButton::Play), (SkinRect{0, 0, 400, 20}));
  ASSERT_EQ(*d.Button(SkinButton::Stop), (SkinRect{10, 10, 390, 110}));
  ASSERT_EQ(*d.Button(SkinButton::Next), (SkinRect{399, 119, 1, 1}));
  ASSERT_EQ(d.TextField(SkinTextField::Info)->rect, (SkinRect{0, 2, 400, 10}));
  ASSERT_EQ(d.visualization->rect, (SkinRect{5, 5, 395, 115}));
  ASSERT_EQ(d.eqInterval, 400);
  ASSERT_EQ(d.eqTrack, (SkinRect{1, 1, 399, 149}));
  ASSERT_EQ(d.eqSlider, (SkinKnobSource{0, 0, 400, 150}));
  ASSERT_EQ(d.eqCheck.left, 399);
  ASSERT_EQ(d.eqCheck.top, 0);
  ASSERT_EQ(*d.eqClose, (SkinRect{390, 140, 10, 10}));
  for (const char* key : {"btn_play", "btn_stop", "btn_next", "disp_info", "visualization", "eq_interval", "eq_track",
                          "eq_slider", "eq_check", "eq_close"})
    EXPECT_TRUE(skin.notes.contains(QLatin1String(key))) << key << " not named in: " << skin.notes.toStdString();

  TMainSkinFace main;
  TEqualizerSkinFace eq;
  main.ApplySkin(d, skin.mainBitmap);
  eq.ApplySkin(d, skin.eqBitmap);
  EXPECT_EQ(main.size(), QSize(400, 120));
  const TGButton* play = main.Button(SkinButton::Play);
  EXPECT_EQ(play->geometry(), QRect(0, 0, 400, 20));
  for (const auto look : {TGButton::Look::Over, TGButton::Look::Pressed, TGButton::Look::Away})
    EXPECT_EQ(play->Image(look).size(), QSize(400, 20));
  EXPECT_EQ(play->Image(TGButton::Look::Pressed).pixel(399, 19), kPressedColour);
  EXPECT_EQ(play->Image(TGButton::Look::Away).pixel(399, 19), kAwayColour);
  EXPECT_EQ(main.Visualization()->Picture().size(), QSize(395, 115));
  EXPECT_EQ(eq.size(), QSize(400, 150));
  EXPECT_EQ(eq.Track(11)->geometry(), QRect(1 + 11 * 400, 1, 399, 149));
  EXPECT_EQ(eq.Track(0)->Knob()->size(), QSize(400, 150));
  EXPECT_EQ(eq.CloseButton()->Image(TGButton::Look::Pressed).pixel(9, 9), kPressedColour);
}

// Catches an element placed where it can never be seen or clicked (wholly outside its
// window, below it in the mask band, or of no size) that is shown as part of the skin, or
// a refusal that does not name the key; and, from the other side, a rectangle whose last
// pixel is the window's last that is refused.
TEST(SkinReading, AnElementWithNoPixelInItsWindowRefusesTheSkinNamingTheKey) {
  const std::pair<const char*, const char*> refused[] = {
      {"btn_play", "btn_play=2147483647 2147483647 2147483647 2147483647\n"},
      {"btn_next", "btn_next=400 0 10 10\n"},
      {"btn_prev", "btn_prev=-2147483648 -2147483648 2147483647 2147483647\n"},
      {"disp_file", "disp_file=0 120 100 10 ff Sans\n"},
      {"visualization", "visualization=no numbers\n"},
      {"eq_track", "eq_track=0 150 10 100\n"},
      {"eq_slider", "eq_slider=400 0 10 10\n"},
      {"eq_close", "eq_close=10 10 0 0\n"},
  };
  for (const auto& [key, line] : refused) {
    SCOPED_TRACE(line);
    const LoadedSkin skin = SkinFolder(line).Read();
    EXPECT_TRUE(skin.error.contains(QStringLiteral("display.Ini: %1:").arg(QLatin1String(key)))) << skin.error.toStdString();
  }
  const LoadedSkin edge = SkinFolder("btn_next=399 119 1 1\neq_close=0 0 400 150\n").Read();
  EXPECT_TRUE(edge.error.isEmpty()) << edge.error.toStdString();
  EXPECT_TRUE(edge.notes.isEmpty()) << edge.notes.toStdString();
}

// Catches a bitmap decoded whatever its header says: a header claiming 8000 × 8000 (a
// 256 MB image that Qt's own limit lets through) or 300 × 60000 top-down must be refused
// before any pixel is decoded, naming the file and the limit, and one wider than 4096
// refused though it decodes; one of exactly 4096 is a skin bitmap. A bitmap too low to give
// each band a row cannot make a window either.
TEST(SkinReading, BitmapsAreBoundedByTheirHeadersBeforeDecoding) {
  {
    SkinFolder folder("");
    folder.Bitmap("main.bmp", {.width = 8000, .height = 8000, .bitCount = 32, .dataBytes = 64});
    folder.Bitmap("eq.bmp", {.width = 300, .height = -60000, .bitCount = 8, .dataBytes = 64});
    const LoadedSkin skin = folder.Read();
    EXPECT_TRUE(skin.error.contains(QStringLiteral("main.bmp: 8000 × 8000 pixels is larger than a skin bitmap may be")))
        << skin.error.toStdString();
    EXPECT_TRUE(skin.error.contains(QStringLiteral("eq.bmp: 300 × 60000 pixels is larger"))) << skin.error.toStdString();
  }
  {
    SkinFolder folder("");
    folder.Bitmap("main.bmp", {.width = 60000, .height = 60000, .dataBytes = 64});
    EXPECT_TRUE(folder.Read().error.contains(QStringLiteral("main.bmp: "))) << "a header Qt itself refuses";
  }
  {
    SkinFolder folder("");
    folder.Bitmap("main.bmp", {.width = 4097, .height = 8});
    folder.Bitmap("eq.bmp", {.width = 4096, .height = 6});
    const LoadedSkin skin = folder.Read();
    EXPECT_TRUE(skin.error.contains(QStringLiteral("main.bmp: 4097 × 8 pixels is larger"))) << skin.error.toStdString();
    EXPECT_FALSE(skin.error.contains(QStringLiteral("eq.bmp"))) << skin.error.toStdString();
  }
  {
    SkinFolder folder("");
    folder.Bitmap("main.bmp", {.width = 400, .height = 3});
    EXPECT_TRUE(folder.Read().error.contains(QStringLiteral("main.bmp: 400 × 3 pixels cannot hold 4 bands")));
  }
}

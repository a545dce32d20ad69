// The layout and the looks of the shipped skins.
#include "tools/skin_painter/skin_design.h"

namespace {

SkinLayout MakeLayout() {
  SkinLayout l;
  auto at = [&l](SkinButton b, QRect r) { l.buttons[static_cast<size_t>(b)] = r; };
  // Window controls, in the pod at the top right.
  at(SkinButton::Minimize, QRect(350, 5, 18, 16));
  at(SkinButton::Close, QRect(372, 5, 18, 16));
  // Transport row along the bottom.
  const SkinButton transport[] = {SkinButton::Prev,  SkinButton::Reverse, SkinButton::Play, SkinButton::Pause,
                                  SkinButton::Stop,  SkinButton::Forward, SkinButton::Next};
  for (int i = 0; i < 7; ++i) at(transport[i], QRect(12 + i * 36, 102, 32, 22));
  // Utility buttons right of the display.
  at(SkinButton::Eq, QRect(284, 30, 34, 17));
  at(SkinButton::PlayList, QRect(321, 30, 34, 17));
  at(SkinButton::Shuffle, QRect(358, 30, 32, 17));
  at(SkinButton::Setup, QRect(284, 51, 34, 17));
  at(SkinButton::Help, QRect(321, 51, 34, 17));
  at(SkinButton::WavVolDown, QRect(284, 72, 34, 17));
  at(SkinButton::WavVolUp, QRect(321, 72, 34, 17));
  l.display = QRect(10, 22, 266, 62);
  l.textFields = {
      // Time played and length: "01:23 / 04:56".
      {SkinTextField::Progress, QRect(18, 32, 124, 18), "Monospace", true},
      {SkinTextField::WavVolume, QRect(360, 72, 30, 17), "Sans", true},
      {SkinTextField::File, QRect(18, 55, 252, 15), "Sans", false},
      {SkinTextField::Info, QRect(18, 70, 252, 13), "Monospace", false},
  };
  l.visualization = QRect(148, 28, 120, 26);
  // Under the display, above the transport row.
  l.position = QRect(12, 88, 264, 10);
  l.positionKnob = QSize(16, 10);
  l.firstTrack = QRect(52, 34, 14, 92);
  l.trackInterval = 28;
  l.knob = QSize(14, 10);
  l.knobSource = QPoint(8, 100);
  l.check = QPoint(14, 8);
  l.eqClose = QRect(372, 6, 18, 16);
  return l;
}

}  // namespace

const SkinLayout& ShippedLayout() {
  static const SkinLayout layout = MakeLayout();
  return layout;
}

const std::vector<SkinLook>& ShippedLooks() {
  static const std::vector<SkinLook> looks = {
      // Graphite: a dark body with a mint-green display, cut with a title tab and a pod.
      {"default", /*notched=*/true, 12,
       QColor(0x3a, 0x3f, 0x48), QColor(0x1e, 0x21, 0x27), QColor(0x0c, 0x0e, 0x11),
       QColor(0x0b, 0x17, 0x15), QColor(0x2e, 0x4a, 0x44), QColor(0x07, 0x12, 0x10),
       QColor(0xb9, 0xe8, 0xdb), QColor(0x5e, 0xf2, 0xc2), QColor(0x6f, 0x86, 0x80),
       QColor(0x4a, 0x50, 0x5b), QColor(0x2b, 0x2f, 0x36), QColor(0x12, 0x14, 0x18),
       QColor(0xb8, 0xc0, 0xca), QColor(0x5e, 0xf2, 0xc2),
       QColor(0xd8, 0xdd, 0xe3), QColor(0x8a, 0x92, 0x9c), QColor(0x2e, 0x33, 0x3a)},
      // Daylight: warm paper with navy text and coral highlights, one soft-cornered slab.
      {"daylight", /*notched=*/false, 20,
       QColor(0xf6, 0xf2, 0xea), QColor(0xe2, 0xdb, 0xcf), QColor(0x9c, 0x93, 0x86),
       QColor(0xfd, 0xfc, 0xf8), QColor(0xc9, 0xc0, 0xb2), QColor(0xf3, 0xef, 0xe6),
       QColor(0x24, 0x36, 0x4c), QColor(0xd9, 0x5a, 0x2b), QColor(0x8b, 0x84, 0x78),
       QColor(0xff, 0xff, 0xff), QColor(0xea, 0xe4, 0xd9), QColor(0xa8, 0x9f, 0x92),
       QColor(0x4a, 0x55, 0x66), QColor(0xd9, 0x5a, 0x2b),
       QColor(0x38, 0x4a, 0x60), QColor(0x24, 0x33, 0x45), QColor(0x9a, 0xb0, 0xc8)},
  };
  return looks;
}

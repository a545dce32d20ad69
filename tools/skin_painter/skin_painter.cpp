// The skin painter: every band drawn with QPainter from the design, so that a change to
// the design is a change to code, and the committed bitmaps can be rebuilt exactly.
#include "tools/skin_painter/skin_painter.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr QRgb kCut = 0xFFFFFFFF;  // mask: anything not black is cut away

// Colours in display.Ini are 0x00BBGGRR.
QString IniColour(const QColor& c) {
  return QString::number((c.blue() << 16) | (c.green() << 8) | c.red(), 16);
}

QString Rect4(const QRect& r) { return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

QFont Font(const char* family, int pixels, bool bold = false) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

// --- silhouettes ---------------------------------------------------------------------

QPainterPath MainOutline(const SkinLayout& l, const SkinLook& look) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  const int w = l.mainSize.width(), h = l.mainSize.height(), r = look.cornerRadius;
  if (!look.notched) {
    path.addRoundedRect(QRectF(0, 0, w, h), r, r);
    return path;
  }
  // The body starts below a title tab on the left and a pod for the window buttons on the
  // right; the gap between them is cut away.
  path.addRoundedRect(QRectF(0, 14, w, h - 14), r, r);
  path.addRoundedRect(QRectF(0, 0, 278, 40), r, r);
  path.addRoundedRect(QRectF(344, 0, w - 344, 40), r, r);
  // Fill the inner corners where the tab and the pod meet the body, so the joins are
  // smooth curves instead of steps.
  QPainterPath fillets;
  fillets.addRect(QRectF(278, 14, 10, 10));
  fillets.addRect(QRectF(334, 14, 10, 10));
  QPainterPath round;
  round.addEllipse(QRectF(278, 4, 20, 20));
  round.addEllipse(QRectF(324, 4, 20, 20));
  path = path.united(fillets.subtracted(round));
  return path.simplified();
}

QPainterPath EqOutline(const SkinLayout& l, const SkinLook& look) {
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, l.eqSize.width(), l.eqSize.height()), look.cornerRadius, look.cornerRadius);
  return path;
}

// Band 1: black where the window is, white elsewhere, with hard edges.
void PaintMask(QPainter& p, const QPainterPath& outline, QSize size) {
  p.save();
  p.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgba(kCut));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillPath(outline, Qt::black);
  p.restore();
}

// The body: gradient, a fine light edge inside the outline and a dark rim.
void PaintBody(QPainter& p, const QPainterPath& outline, QSize size, const SkinLook& look) {
  p.fillRect(QRect(QPoint(0, 0), size), look.rim);
  QLinearGradient body(0, 0, 0, size.height());
  body.setColorAt(0, look.faceTop);
  body.setColorAt(1, look.faceBottom);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillPath(outline, body);
  p.setPen(QPen(look.rim, 2));
  p.drawPath(outline);
  QColor shine = look.faceTop.lighter(125);
  shine.setAlpha(110);
  p.setPen(QPen(shine, 1));
  p.translate(0, 1);
  p.setClipPath(outline);
  p.drawPath(outline);
  p.setClipping(false);
  p.translate(0, -1);
}

void PaintInset(QPainter& p, const QRect& r, const QColor& fill, const QColor& edge, int radius) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(edge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  p.setBrush(Qt::NoBrush);
}

// --- buttons -------------------------------------------------------------------------

enum class Glyph { Close, Minimize, Prev, Next, Pause, Stop, Play, Reverse, Forward, Eq, PlayList, Shuffle, Setup, Help, VolUp, VolDown };

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& r, const QColor& c) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const QPointF m = r.center();
  auto tri = [&](double x, double dir, double half) {  // a triangle pointing right (dir 1) or left (-1)
    QPolygonF t;
    t << QPointF(x, m.y() - half) << QPointF(x + dir * half * 1.6, m.y()) << QPointF(x, m.y() + half);
    p.drawPolygon(t);
  };
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  auto text = [&](const QString& s, int px) {
    p.setPen(c);
    p.setFont(Font("DejaVu Sans", px, true));
    p.drawText(r, Qt::AlignCenter, s);
  };
  switch (glyph) {
    case Glyph::Close: {
      p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(m.x() - 3.5, m.y() - 3.5), QPointF(m.x() + 3.5, m.y() + 3.5));
      p.drawLine(QPointF(m.x() + 3.5, m.y() - 3.5), QPointF(m.x() - 3.5, m.y() + 3.5));
      break;
    }
    case Glyph::Minimize:
      p.drawRoundedRect(QRectF(m.x() - 4.5, m.y() + 2, 9, 2), 1, 1);
      break;
    case Glyph::Play:
      tri(m.x() - 3.5, 1, 5.5);
      break;
    case Glyph::Pause:
      p.drawRoundedRect(QRectF(m.x() - 5, m.y() - 5, 3.5, 10), 0.8, 0.8);
      p.drawRoundedRect(QRectF(m.x() + 1.5, m.y() - 5, 3.5, 10), 0.8, 0.8);
      break;
    case Glyph::Stop:
      p.drawRoundedRect(QRectF(m.x() - 4.5, m.y() - 4.5, 9, 9), 1.2, 1.2);
      break;
    case Glyph::Prev:
      p.drawRect(QRectF(m.x() - 6, m.y() - 4.5, 2, 9));
      tri(m.x() + 4, -1, 4.5);
      break;
    case Glyph::Next:
      tri(m.x() - 4, 1, 4.5);
      p.drawRect(QRectF(m.x() + 4, m.y() - 4.5, 2, 9));
      break;
    case Glyph::Reverse:
      tri(m.x(), -1, 4);
      tri(m.x() + 6.5, -1, 4);
      break;
    case Glyph::Forward:
      tri(m.x() - 6.5, 1, 4);
      tri(m.x(), 1, 4);
      break;
    case Glyph::Eq:
      text(QStringLiteral("EQ"), 9);
      break;
    case Glyph::PlayList:
      text(QStringLiteral("PL"), 9);
      break;
    case Glyph::Help:
      text(QStringLiteral("?"), 11);
      break;
    case Glyph::VolUp:
      text(QStringLiteral("VOL+"), 8);
      break;
    case Glyph::VolDown:
      text(QStringLiteral("VOL\u2212"), 8);
      break;
    case Glyph::Shuffle: {
      p.setPen(QPen(c, 1.5, Qt::SolidLine, Qt::RoundCap));
      p.setBrush(Qt::NoBrush);
      QPainterPath a, b;
      a.moveTo(m.x() - 7, m.y() - 4);
      a.cubicTo(m.x() - 1, m.y() - 4, m.x() + 1, m.y() + 4, m.x() + 6, m.y() + 4);
      b.moveTo(m.x() - 7, m.y() + 4);
      b.cubicTo(m.x() - 1, m.y() + 4, m.x() + 1, m.y() - 4, m.x() + 6, m.y() - 4);
      p.drawPath(a);
      p.drawPath(b);
      p.setPen(Qt::NoPen);
      p.setBrush(c);
      for (double y : {m.y() - 4, m.y() + 4}) {
        QPolygonF head;
        head << QPointF(m.x() + 5, y - 2.6) << QPointF(m.x() + 8.5, y) << QPointF(m.x() + 5, y + 2.6);
        p.drawPolygon(head);
      }
      break;
    }
    case Glyph::Setup: {
      // A small cog: eight teeth round a ring.
      QPainterPath cog;
      for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(m.x(), m.y());
        t.rotate(i * 45);
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.5, -7, 3, 3.5));
        cog.addPath(t.map(tooth));
      }
      cog.addEllipse(m, 5, 5);
      QPainterPath hole;
      hole.addEllipse(m, 2.2, 2.2);
      p.drawPath(cog.simplified().subtracted(hole));
      break;
    }
  }
  p.restore();
}

Glyph GlyphOf(SkinButton b) {
  switch (b) {
    case SkinButton::Close: return Glyph::Close;
    case SkinButton::Minimize: return Glyph::Minimize;
    case SkinButton::Prev: return Glyph::Prev;
    case SkinButton::Next: return Glyph::Next;
    case SkinButton::Pause: return Glyph::Pause;
    case SkinButton::Stop: return Glyph::Stop;
    case SkinButton::Play: return Glyph::Play;
    case SkinButton::Reverse: return Glyph::Reverse;
    case SkinButton::Forward: return Glyph::Forward;
    case SkinButton::Eq: return Glyph::Eq;
    case SkinButton::PlayList: return Glyph::PlayList;
    case SkinButton::Shuffle: return Glyph::Shuffle;
    case SkinButton::Setup: return Glyph::Setup;
    case SkinButton::Help: return Glyph::Help;
    case SkinButton::WavVolUp: return Glyph::VolUp;
    case SkinButton::WavVolDown: return Glyph::VolDown;
  }
  return Glyph::Help;
}

// One button in one of its looks: raised when away, lit when the mouse is over it,
// sunk with the glyph one pixel lower when pressed.
void PaintButton(QPainter& p, const QRect& r, Glyph glyph, ButtonLook state, const SkinLook& look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF body = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient fill(0, r.top(), 0, r.bottom());
  if (state == ButtonLook::Pressed) {
    // Lit from inside: the accent fills the button and the glyph turns dark.
    fill.setColorAt(0, look.iconHot.darker(125));
    fill.setColorAt(1, look.iconHot);
  } else {
    const int lift = state == ButtonLook::Over ? 112 : 100;
    fill.setColorAt(0, look.buttonTop.lighter(lift));
    fill.setColorAt(1, look.buttonBottom.lighter(lift));
  }
  const QColor edge = state == ButtonLook::Away      ? look.buttonEdge
                     : state == ButtonLook::Pressed ? look.iconHot.darker(160)
                                                    : look.iconHot;
  p.setPen(QPen(edge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(body, 4, 4);
  if (state != ButtonLook::Pressed) {
    QColor shine = Qt::white;
    shine.setAlpha(state == ButtonLook::Over ? 70 : 40);
    p.setPen(QPen(shine, 1));
    p.drawLine(QPointF(r.left() + 4, r.top() + 1.5), QPointF(r.right() - 3, r.top() + 1.5));
  }
  const QColor ink = state == ButtonLook::Away ? look.icon : state == ButtonLook::Pressed ? look.panel : look.iconHot;
  DrawGlyph(p, glyph, QRectF(r).translated(0, state == ButtonLook::Pressed ? 1 : 0), ink);
  p.restore();
}

// --- faces ---------------------------------------------------------------------------

// The position slider's track: a groove the knob rides along, on the face.
void PaintPositionGroove(QPainter& p, const QRect& r, const SkinLook& look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF groove(r.left() + 0.5, r.center().y() - 1.5, r.width() - 1, 4);
  p.setPen(QPen(look.panelEdge, 1));
  p.setBrush(look.rim);
  p.drawRoundedRect(groove, 2, 2);
  p.restore();
}

// The position slider's knob: a small rounded cap, lit with the accent.
void PaintPositionKnob(QPainter& p, const QRect& r, const SkinLook& look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  QLinearGradient fill(0, r.top(), 0, r.bottom());
  fill.setColorAt(0, look.knobTop);
  fill.setColorAt(1, look.knobBottom);
  p.setPen(QPen(look.rim, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(look.accent);
  p.drawLine(r.center().x(), r.top() + 3, r.center().x(), r.bottom() - 3);
  p.restore();
}

void PaintMainFace(QPainter& p, const SkinLayout& l, const SkinLook& look, ButtonLook buttons) {
  const QPainterPath outline = MainOutline(l, look);
  PaintBody(p, outline, l.mainSize, look);
  // Brand in the title tab (or the top edge) and at the bottom right.
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(look.dimText);
  p.setFont(Font("DejaVu Sans", 9, true));
  p.drawText(QRect(18, 4, 200, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Z I M B A R"));
  p.setFont(Font("DejaVu Sans", 8));
  p.drawText(QRect(100, 4, 170, 14), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("audio player"));
  p.setPen(look.accent);
  p.setFont(Font("DejaVu Sans", 13, true));
  p.drawText(QRect(284, 104, 106, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("zimbar"));
  // Display inset with its visualization well.
  PaintInset(p, l.display, look.panel, look.panelEdge, 6);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(l.visualization.adjusted(-1, -1, 1, 1), look.panelEdge);
  p.fillRect(l.visualization, look.visualizationBack);
  PaintPositionGroove(p, l.position, look);
  for (const SkinButtonInfo& info : kSkinButtons)
    PaintButton(p, l.buttons[static_cast<size_t>(info.button)], GlyphOf(info.button), buttons, look);
}

// The face of the equalizer window: title, scale, twelve grooves with their band labels.
void PaintEqFace(QPainter& p, const SkinLayout& l, const SkinLook& look, ButtonLook closeLook) {
  const QPainterPath outline = EqOutline(l, look);
  PaintBody(p, outline, l.eqSize, look);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(look.dimText);
  p.setFont(Font("DejaVu Sans", 9, true));
  p.drawText(QRect(64, 6, 120, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("EQUALIZER"));
  p.setFont(Font("DejaVu Sans", 8));
  p.drawText(QRect(200, 6, 160, 18), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("zimbar"));
  // The panel behind the tracks.
  const QRect panel(l.firstTrack.left() - 44, l.firstTrack.top() - 6,
                    11 * l.trackInterval + l.firstTrack.width() + 52, l.firstTrack.height() + 28);
  PaintInset(p, panel, look.panel, look.panelEdge, 6);
  // Scale: +, 0, − beside the first track, with faint lines across.
  const int top = l.firstTrack.top() + l.knob.height() / 2;
  const int bottom = l.firstTrack.bottom() - l.knob.height() / 2;
  const int mid = (top + bottom) / 2;
  p.setFont(Font("DejaVu Sans", 8, true));
  const std::pair<int, const char*> marks[] = {{top, "+"}, {mid, "0"}, {bottom, "\u2212"}};
  for (const auto& [y, text] : marks) {
    p.setPen(look.dimText);
    p.drawText(QRect(panel.left() + 6, y - 7, 24, 14), Qt::AlignCenter, QString::fromUtf8(text));
    QColor faint = look.dimText;
    faint.setAlpha(70);
    p.setPen(QPen(faint, 1, Qt::DotLine));
    p.drawLine(QPointF(l.firstTrack.left() - 8, y + 0.5), QPointF(panel.right() - 6, y + 0.5));
  }
  // Grooves and labels: the upper edge of each slider's decoder bands at 44.1 kHz.
  const char* labels[] = {"0.7k", "1.4k", "2.1k", "2.8k", "3.4k", "4.1k", "4.8k", "6.2k", "8.3k", "11k", "15k", "22k"};
  p.setFont(Font("DejaVu Sans", 7));
  for (int i = 0; i < 12; ++i) {
    const QRect track = l.firstTrack.translated(i * l.trackInterval, 0);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(track, look.panel);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF groove(track.center().x() - 1.5, track.top() + 2, 4, track.height() - 4);
    p.setPen(QPen(look.panelEdge, 1));
    p.setBrush(look.rim);
    p.drawRoundedRect(groove, 2, 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(look.dimText);
    p.drawText(QRect(track.center().x() - 14, track.bottom() + 3, 29, 12), Qt::AlignCenter, QString::fromLatin1(labels[i]));
  }
  // "on" caption beside the enable box.
  p.setPen(look.dimText);
  p.setFont(Font("DejaVu Sans", 7));
  p.drawText(QRect(l.check.x() + 22, l.check.y(), 22, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("on"));
  PaintButton(p, l.eqClose, Glyph::Close, closeLook, look);
}

// The knob: a rounded cap with grip lines.
void PaintKnob(QPainter& p, const QRect& r, const SkinLook& look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(r, look.panel);
  QLinearGradient fill(0, r.top(), 0, r.bottom());
  fill.setColorAt(0, look.knobTop);
  fill.setColorAt(1, look.knobBottom);
  p.setPen(QPen(look.rim, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(look.accent);
  p.drawLine(r.left() + 3, r.center().y(), r.right() - 3, r.center().y());
  p.setPen(look.knobGrip);
  p.drawLine(r.left() + 3, r.center().y() - 2, r.right() - 3, r.center().y() - 2);
  p.drawLine(r.left() + 3, r.center().y() + 2, r.right() - 3, r.center().y() + 2);
  p.restore();
}

QImage NewBitmap(QSize band, int bands) {
  QImage image(band.width(), band.height() * bands, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

}  // namespace

QImage PaintMainBitmap(const SkinLayout& l, const SkinLook& look) {
  QImage bitmap = NewBitmap(l.mainSize, 4);
  QPainter p(&bitmap);
  const int h = l.mainSize.height();
  const ButtonLook order[] = {ButtonLook::Over, ButtonLook::Over, ButtonLook::Pressed, ButtonLook::Away};
  for (int band : {0, 2, 3}) {
    p.save();
    p.translate(0, band * h);
    p.setClipRect(QRect(QPoint(0, 0), l.mainSize));
    PaintMainFace(p, l, look, order[band]);
    // The knob's image lies in the pressed band, over the track's left end (nothing is
    // cut from there for a button).
    if (band == 2) PaintPositionKnob(p, QRect(l.position.topLeft(), l.positionKnob), look);
    p.restore();
  }
  p.save();
  p.translate(0, h);
  PaintMask(p, MainOutline(l, look), l.mainSize);
  p.restore();
  return bitmap;
}

QImage PaintEqualizerBitmap(const SkinLayout& l, const SkinLook& look) {
  QImage bitmap = NewBitmap(l.eqSize, 3);
  QPainter p(&bitmap);
  const int h = l.eqSize.height();
  p.save();
  p.setClipRect(QRect(QPoint(0, 0), l.eqSize));
  PaintEqFace(p, l, look, ButtonLook::Away);
  p.restore();
  p.save();
  p.translate(0, h);
  PaintMask(p, EqOutline(l, look), l.eqSize);
  p.restore();
  p.save();
  p.translate(0, 2 * h);
  p.setClipRect(QRect(QPoint(0, 0), l.eqSize));
  PaintEqFace(p, l, look, ButtonLook::Pressed);
  PaintKnob(p, QRect(l.knobSource, l.knob), look);
  p.restore();
  return bitmap;
}

QString DisplayIniText(const SkinLayout& l, const SkinLook& look, const QImage& eqBitmap) {
  QString text;
  text += QStringLiteral("; Skin \"%1\" of the Zimbar player, made by tools/skin_painter.\n").arg(QLatin1String(look.name));
  text += QStringLiteral("; Change the painter and run it again rather than editing these files.\n");
  text += QStringLiteral("[display]\n");
  text += QStringLiteral("disp_with_focus=1\n");
  for (const SkinButtonInfo& info : kSkinButtons)
    text += QStringLiteral("%1=%2\n").arg(QLatin1String(info.key), Rect4(l.buttons[static_cast<size_t>(info.button)]));
  for (SkinTextField f : {SkinTextField::File, SkinTextField::Info, SkinTextField::Progress, SkinTextField::WavVolume})
    for (const TextFieldDesign& d : l.textFields)
      if (d.field == f)
        text += QStringLiteral("%1=%2 %3 %4\n")
                    .arg(QLatin1String(KeyOf(f)), Rect4(d.rect), IniColour(d.accent ? look.accent : look.text),
                         QLatin1String(d.font));
  text += QStringLiteral("visualization=%1 %2\n").arg(Rect4(l.visualization), IniColour(look.accent));
  text += QStringLiteral("position=%1\n").arg(Rect4(l.position));
  text += QStringLiteral("position_knob=%1 %2 %3 %4\n")
              .arg(l.position.x())
              .arg(l.position.y())
              .arg(l.positionKnob.width())
              .arg(l.positionKnob.height());
  text += QStringLiteral("eq_interval=%1\n").arg(l.trackInterval);
  text += QStringLiteral("eq_track=%1\n").arg(Rect4(l.firstTrack));
  text += QStringLiteral("eq_slider=%1 %2 %3 %4\n").arg(l.knobSource.x()).arg(l.knobSource.y()).arg(l.knob.width()).arg(l.knob.height());
  // The check box sits on the face: its background is the face's colour under its corner.
  text += QStringLiteral("eq_check=%1 %2 %3\n").arg(l.check.x()).arg(l.check.y()).arg(IniColour(eqBitmap.pixelColor(l.check)));
  text += QStringLiteral("eq_close=%1\n").arg(Rect4(l.eqClose));
  return text;
}

bool WriteSkin(const SkinLayout& layout, const SkinLook& look, const QString& folder, QString& error) {
  if (!QDir().mkpath(folder)) {
    error = QStringLiteral("cannot create %1").arg(folder);
    return false;
  }
  const QImage main = PaintMainBitmap(layout, look);
  const QImage eq = PaintEqualizerBitmap(layout, look);
  const QString dir = folder + QLatin1Char('/');
  // 24-bit bitmaps: the skin has no use for an alpha channel.
  if (!main.convertToFormat(QImage::Format_RGB888).save(dir + QStringLiteral("main.bmp"), "BMP") ||
      !eq.convertToFormat(QImage::Format_RGB888).save(dir + QStringLiteral("eq.bmp"), "BMP")) {
    error = QStringLiteral("cannot write the bitmaps into %1").arg(folder);
    return false;
  }
  QFile ini(dir + QStringLiteral("display.Ini"));
  if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate) || ini.write(DisplayIniText(layout, look, eq).toUtf8()) < 0) {
    error = QStringLiteral("cannot write %1").arg(ini.fileName());
    return false;
  }
  return true;
}

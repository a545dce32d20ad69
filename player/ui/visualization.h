// TVisualization: the oscilloscope area of the main window. Fed PCM slices from any
// thread, it draws them on the GUI thread into its own image, one slice at a time,
// dropping slices while a drawing is pending.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <memory>

#include "common/ui/qt_main_loop.h"
#include "player/skin/display_ini.h"
#include "player/skin/oscilloscope_trace.h"
#include "player/skin/visualization_feed.h"

class TVisualization : public QWidget {
  Q_OBJECT
 public:
  explicit TVisualization(QWidget* parent);
  ~TVisualization() override;

  // Places the area, copies the face's pixels under it as the starting picture and sets
  // the colours: the background is the bitmap's pixel at (left, top) when left > 0, else
  // black. Only an area with left > 0 draws; elsewhere slices are dropped.
  void Configure(const SkinVisualizationPlace& place, const QImage& face);
  // Hides the area and drops every slice (a skin without a visualization key).
  void Disable();
  // Playback stopped or failed: the trace is wiped (the area shows the face's pixels
  // again) and a drawing still queued is dropped.
  void Clear();

  // Any thread: a slice of interleaved PCM, as the engines' output-data notification
  // hands it over. Returns whether it was taken.
  bool Feed(const void* data, size_t bytes, int channels, int bitsPerSample);

  const QImage& Picture() const { return picture_; }
  QColor BackgroundColour() const { return background_; }
  QColor LineColour() const { return line_; }

 Q_SIGNALS:
  // After each drawing step (tests and screenshots wait for it).
  void Drawn();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Draw(std::span<const int16_t> samples, int frameStride);

  QtMainLoop loop_;
  OscilloscopeTrace trace_;
  QImage picture_;
  QImage blank_;  // the face's pixels under the area
  QColor background_{Qt::white};
  QColor line_{Qt::black};
  std::unique_ptr<VisualizationFeed> feed_;  // last: its queued drawings use the members above
};

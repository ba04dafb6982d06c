#pragma once
// An SVG file that honours clipping. The toolkit's SVG writer ignores a painter's clip,
// so what a chart clips to its plot area (lines, markers, error bars) would run over its
// axes and the colour bar. This device takes the painting, cuts it to the clip rectangle
// in force and hands the pieces to the SVG writer.

#include <QPaintDevice>
#include <memory>

class QSvgGenerator;

class ClippedSvg : public QPaintDevice {
 public:
  explicit ClippedSvg(QSvgGenerator& svg);
  ~ClippedSvg() override;
  QPaintEngine* paintEngine() const override;

 protected:
  int metric(PaintDeviceMetric metric) const override;

 private:
  QSvgGenerator& svg_;
  std::unique_ptr<QPaintEngine> engine_;
};

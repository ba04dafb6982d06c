#include "chart/clipped_svg.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <optional>

namespace {

// Cuts the segment from a to b to the rectangle (Liang–Barsky); false when none of it is inside.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& area) {
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - area.left(), area.right() - a.x(), a.y() - area.top(), area.bottom() - a.y()};
  double enter = 0, leave = 1;
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0)
      enter = std::max(enter, t);
    else
      leave = std::min(leave, t);
  }
  if (!(enter <= leave)) return false;
  const QPointF start = a, step(dx, dy);
  a = start + enter * step;
  b = start + leave * step;
  return true;
}

// Whether two rectangles share a point, lines of no width included.
bool Overlap(const QRectF& r, const QRectF& area) {
  return r.left() <= area.right() && r.right() >= area.left() && r.top() <= area.bottom() && r.bottom() >= area.top();
}

class ClippingEngine : public QPaintEngine {
 public:
  // What the SVG writer does itself, so that the painter emulates the same as for it.
  explicit ClippingEngine(QSvgGenerator& svg)
      : QPaintEngine(PaintEngineFeatures(QPaintEngine::AllFeatures) & ~QPaintEngine::PatternBrush &
                     ~QPaintEngine::PerspectiveTransform & ~QPaintEngine::ConicalGradientFill &
                     ~QPaintEngine::PorterDuff),
        svg_(svg) {}

  bool begin(QPaintDevice*) override { return out_.begin(&svg_); }
  bool end() override { return out_.end(); }
  Type type() const override { return QPaintEngine::User; }

  void updateState(const QPaintEngineState& state) override {
    const DirtyFlags dirty = state.state();
    if (dirty & DirtyPen) out_.setPen(state.pen());
    if (dirty & DirtyBrush) out_.setBrush(state.brush());
    if (dirty & DirtyBrushOrigin) out_.setBrushOrigin(state.brushOrigin());
    if (dirty & DirtyFont) out_.setFont(state.font());
    if (dirty & DirtyBackground) out_.setBackground(state.backgroundBrush());
    if (dirty & DirtyBackgroundMode) out_.setBackgroundMode(state.backgroundMode());
    if (dirty & DirtyTransform) out_.setTransform(state.transform());
    if (dirty & DirtyHints) out_.setRenderHints(state.renderHints());
    if (dirty & DirtyOpacity) out_.setOpacity(state.opacity());
    if (dirty & DirtyClipEnabled) clip_enabled_ = state.isClipEnabled();
    if (dirty & (DirtyClipRegion | DirtyClipPath)) {
      // The chart clips to rectangles: the clip is kept as one, on the device.
      const QRectF given =
          dirty & DirtyClipPath ? state.clipPath().boundingRect() : QRectF(state.clipRegion().boundingRect());
      const QRectF on_device = state.transform().mapRect(given);
      switch (state.clipOperation()) {
        case Qt::NoClip: clip_.reset(); break;
        case Qt::ReplaceClip: clip_ = on_device; break;
        case Qt::IntersectClip: clip_ = clip_ ? clip_->intersected(on_device) : on_device; break;
      }
      if (state.clipOperation() != Qt::NoClip) clip_enabled_ = true;
    }
  }

  void drawPath(const QPainterPath& path) override {
    const std::optional<QRectF> area = Area();
    const QRectF bounds = path.controlPointRect();
    if (!area || area->contains(bounds)) return out_.drawPath(path);
    if (!Overlap(bounds, *area)) return;
    const QPen pen = out_.pen();
    const QBrush brush = out_.brush();
    if (brush.style() != Qt::NoBrush) {
      QPainterPath box;
      box.addRect(*area);
      out_.setPen(Qt::NoPen);
      out_.drawPath(path.intersected(box));
      out_.setPen(pen);
    }
    if (pen.style() != Qt::NoPen) {
      out_.setBrush(Qt::NoBrush);
      for (const QPolygonF& polygon : path.toSubpathPolygons())
        DrawPolyline(polygon.constData(), static_cast<int>(polygon.size()), *area);
      out_.setBrush(brush);
    }
  }

  void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
    const std::optional<QRectF> area = Area();
    if (mode == PolylineMode) {
      if (area) return DrawPolyline(points, count, *area);
      return out_.drawPolyline(points, count);
    }
    const Qt::FillRule rule = mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill;
    const QPolygonF polygon(QList<QPointF>(points, points + count));
    if (!area || area->contains(polygon.boundingRect())) return out_.drawPolygon(points, count, rule);
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    path.setFillRule(rule);
    drawPath(path);
  }
  using QPaintEngine::drawPolygon;

  void drawRects(const QRectF* rects, int count) override {
    const std::optional<QRectF> area = Area();
    for (int i = 0; i < count; ++i) {
      if (!area || area->contains(rects[i])) {
        out_.drawRect(rects[i]);
        continue;
      }
      QPainterPath path;
      path.addRect(rects[i]);
      drawPath(path);
    }
  }
  using QPaintEngine::drawRects;

  void drawLines(const QLineF* lines, int count) override {
    const std::optional<QRectF> area = Area();
    for (int i = 0; i < count; ++i) {
      QPointF a = lines[i].p1(), b = lines[i].p2();
      if (!area || ClipSegment(a, b, *area)) out_.drawLine(a, b);
    }
  }
  using QPaintEngine::drawLines;

  void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override {
    QRectF to = target, from = source;
    if (!Cut(to, from)) return;
    out_.drawPixmap(to, pixmap, from);
  }

  void drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                 Qt::ImageConversionFlags flags) override {
    QRectF to = target, from = source;
    if (!Cut(to, from)) return;
    out_.drawImage(to, image, from, flags);
  }

  void drawTiledPixmap(const QRectF& target, const QPixmap& pixmap, const QPointF& offset) override {
    out_.drawTiledPixmap(target, pixmap, offset);
  }

  // A text whose start is clipped away is left out whole.
  void drawTextItem(const QPointF& at, const QTextItem& text) override {
    const std::optional<QRectF> area = Area();
    if (area && !area->adjusted(-1, -1, 1, 1).contains(at)) return;
    out_.setFont(text.font());
    out_.drawText(at, text.text());
  }

 private:
  // The clip in the painter's coordinates; none where nothing is clipped (or the
  // painter is turned, where text alone is drawn and a rectangle would not stay one).
  std::optional<QRectF> Area() const {
    if (!clip_enabled_ || !clip_) return std::nullopt;
    const QTransform transform = out_.transform();
    if (transform.type() > QTransform::TxScale) return std::nullopt;
    return transform.inverted().mapRect(*clip_);
  }

  void DrawPolyline(const QPointF* points, int count, const QRectF& area) {
    QPolygonF piece;
    for (int i = 1; i < count; ++i) {
      QPointF a = points[i - 1], b = points[i];
      if (!ClipSegment(a, b, area)) continue;
      if (piece.isEmpty() || piece.back() != a) {
        if (piece.size() > 1) out_.drawPolyline(piece);
        piece = QPolygonF{a};
      }
      piece << b;
    }
    if (piece.size() > 1) out_.drawPolyline(piece);
  }

  // Cuts an image's target to the clip and its source in proportion; false when nothing is left.
  bool Cut(QRectF& target, QRectF& source) const {
    const std::optional<QRectF> area = Area();
    if (!area || area->contains(target)) return true;
    const QRectF kept = target.intersected(*area);
    if (kept.isEmpty() || target.isEmpty()) return false;
    const double sx = source.width() / target.width(), sy = source.height() / target.height();
    source = QRectF(source.x() + (kept.x() - target.x()) * sx, source.y() + (kept.y() - target.y()) * sy,
                    kept.width() * sx, kept.height() * sy);
    target = kept;
    return true;
  }

  QSvgGenerator& svg_;
  QPainter out_;
  std::optional<QRectF> clip_;
  bool clip_enabled_ = false;
};

}  // namespace

ClippedSvg::ClippedSvg(QSvgGenerator& svg) : svg_(svg), engine_(std::make_unique<ClippingEngine>(svg)) {}

ClippedSvg::~ClippedSvg() = default;

QPaintEngine* ClippedSvg::paintEngine() const { return engine_.get(); }

int ClippedSvg::metric(PaintDeviceMetric metric) const {
  switch (metric) {
    case PdmWidth: return svg_.width();
    case PdmHeight: return svg_.height();
    case PdmWidthMM: return svg_.widthMM();
    case PdmHeightMM: return svg_.heightMM();
    case PdmNumColors: return svg_.colorCount();
    case PdmDepth: return svg_.depth();
    case PdmDpiX: return svg_.logicalDpiX();
    case PdmDpiY: return svg_.logicalDpiY();
    case PdmPhysicalDpiX: return svg_.physicalDpiX();
    case PdmPhysicalDpiY: return svg_.physicalDpiY();
    case PdmDevicePixelRatio: return static_cast<int>(svg_.devicePixelRatio());
    case PdmDevicePixelRatioScaled: return static_cast<int>(svg_.devicePixelRatioF() * devicePixelRatioFScale());
  }
  return 0;
}

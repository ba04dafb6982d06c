#include "chart/chart.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QMenu>
#include <QPalette>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

#include "chart/clipped_svg.h"
#include "chart/message_sink.h"

QColor ToolkitColour(uint32_t value) {
  if ((value >> 24) == 0xFF) {
    QPalette palette = QApplication::palette();
    return (value & 0xFF) == 0x08 ? palette.color(QPalette::WindowText) : palette.color(QPalette::Button);
  }
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void ChartSeries::AppendMany(std::span<const double> xs, std::span<const double> ys) {
  for (size_t i = 0; i < std::min(xs.size(), ys.size()); ++i) Append(xs[i], ys[i]);
}

void ChartSeries::AppendColoured(std::span<const double> xs, std::span<const double> ys,
                                 std::span<const QRgb> colours) {
  for (size_t i = 0; i < std::min({xs.size(), ys.size(), colours.size()}); ++i)
    Append(xs[i], ys[i], QColor::fromRgba(colours[i]));
}

AxisLimits WheelZoomed(double minimum, double maximum, double at, bool zoom_in) {
  constexpr double Step = 0.25;
  if (zoom_in) return {minimum + (at - minimum) * Step, maximum - (maximum - at) * Step};
  return {minimum - (at - minimum) * Step / (1 - Step), maximum + (maximum - at) * Step / (1 - Step)};
}

QString ColourBarLabel(double value, int digits) {
  if (value == 0) return "0";
  const double size = std::fabs(value);
  // Written out in full between a thousandth and a million.
  if (size >= 1e-3 && size < 1e6) {
    const int decimals = std::clamp(digits - 1 - static_cast<int>(std::floor(std::log10(size))), 0, digits + 3);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains('.')) {
      while (text.endsWith('0')) text.chop(1);
      if (text.endsWith('.')) text.chop(1);
    }
    return text;
  }
  return QString::number(value, 'g', digits);
}

QStringList ColourBarLabels(const std::vector<double>& ticks) {
  constexpr int MostDigits = 12;
  QStringList labels;
  for (int digits = 3; digits <= MostDigits; ++digits) {
    labels.clear();
    for (double tick : ticks) labels << ColourBarLabel(tick, digits);
    bool apart = true;
    for (qsizetype i = 1; i < labels.size(); ++i) apart = apart && labels[i] != labels[i - 1];
    if (apart) break;
  }
  return labels;
}

namespace {

// Round steps of 1, 2 and 5 times a power of ten, about `count` of them across [low, high].
double RoundStep(double low, double high, int count) {
  const double raw = (high - low) / count;
  const double power = std::pow(10, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * power >= raw) return factor * power;
  return 10 * power;
}

// Where a value stands along the bar, from 0 at `low` to 1 at `high`.
double BarPlace(double value, double low, double high, bool logarithmic) {
  if (logarithmic) return std::log(value / low) / std::log(high / low);
  return (value - low) / (high - low);
}

}  // namespace

std::vector<double> ColourBarTicks(double low, double high, bool logarithmic) {
  std::vector<double> ticks{low};
  if (!(low < high) || (logarithmic && low <= 0)) return ticks;
  // Labels closer than this share of the bar would meet.
  constexpr double Apart = 0.12;
  std::vector<double> between;
  if (logarithmic && high / low >= 10) {
    for (double decade = std::pow(10, std::floor(std::log10(low))); decade <= high; decade *= 10)
      for (double factor : {1.0, 2.0, 5.0}) between.push_back(factor * decade);
    // Decades alone where 1, 2 and 5 would crowd the bar.
    if (std::log10(high / low) > 3)
      std::erase_if(between, [](double v) { return std::fabs(std::log10(v) - std::round(std::log10(v))) > 1e-9; });
  } else {
    const double step = RoundStep(low, high, 4);
    for (double v = std::ceil(low / step) * step; v <= high; v += step)
      between.push_back(std::fabs(v) < step * 1e-9 ? 0 : v);
  }
  for (double v : between) {
    const double place = BarPlace(v, low, high, logarithmic);
    if (place >= Apart && place <= 1 - Apart && BarPlace(v, ticks.back(), high, logarithmic) > 0 &&
        place - BarPlace(ticks.back(), low, high, logarithmic) >= Apart)
      ticks.push_back(v);
  }
  // A bar narrower than its round steps is labelled in its middle.
  if (ticks.size() == 1) {
    const double middle = logarithmic ? std::sqrt(low * high) : (low + high) / 2;
    ticks.push_back(ColourBarLabel(middle).toDouble());
  }
  ticks.push_back(high);
  return ticks;
}

namespace {

const char* const ScalesBottomAxis = "vostrel_scales_bottom_axis";

QColor WithTransparency(QColor colour, int transparency_pct) {
  colour.setAlpha(255 - 255 * transparency_pct / 100);
  return colour;
}

// Every series draws on a layer of its own, above the series added before it, so a
// series made of several graphs never hides under an earlier one.
QCPLayer* NewSeriesLayer(QCustomPlot* plot) {
  QCPLayer* top = plot->layer("main");
  for (int i = 0; i < plot->layerCount(); ++i)
    if (plot->layer(i)->name().startsWith("series")) top = plot->layer(i);
  QString name = "series" + QString::number(plot->layerCount());
  plot->addLayer(name, top, QCustomPlot::limAbove);
  return plot->layer(name);
}

// The points of a graph, in the colour it draws them.
std::vector<SeriesPoint> PointsOf(const QCPGraph& graph) {
  const QCPScatterStyle& scatter = graph.scatterStyle();
  QColor colour = scatter.isNone()                         ? graph.pen().color()
                  : scatter.brush().style() == Qt::NoBrush ? scatter.pen().color()
                                                           : scatter.brush().color();
  std::vector<SeriesPoint> points;
  for (auto it = graph.data()->constBegin(); it != graph.data()->constEnd(); ++it)
    points.push_back({it->key, it->value, colour});
  return points;
}

// Stroking a wide pen along a noisy curve of thousands of points costs a hundred
// times what a hairline does, too slow to follow a drag of the track bar. A wide
// line is drawn instead as hairlines laid a pixel apart, which looks the same.
class WideLineGraph : public QCPGraph {
 public:
  using QCPGraph::QCPGraph;

 protected:
  void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override {
    const QPen pen = painter->pen();
    const int width = qRound(pen.widthF());
    if (width <= 1) return QCPGraph::drawLinePlot(painter, lines);
    QPen hairline = pen;
    hairline.setWidth(1);
    painter->setPen(hairline);
    QCPGraph::drawLinePlot(painter, lines);
    for (int step = 1; step < width; ++step) {
      for (QPointF offset : {QPointF(step, 0), QPointF(0, step)}) {
        painter->translate(offset);
        QCPGraph::drawLinePlot(painter, lines);
        painter->translate(-offset);
      }
    }
    painter->setPen(pen);
  }
};

class GraphSeries : public ChartSeries {
 public:
  GraphSeries(Chart& chart, QCustomPlot* plot, const Chart::SeriesStyle& style) : chart_(chart) {
    graph_ = new WideLineGraph(plot->xAxis, plot->yAxis);
    graph_->setLayer(NewSeriesLayer(plot));
    graph_->setProperty(ScalesBottomAxis, style.scales_bottom_axis);
    graph_->setPen(QPen(WithTransparency(style.colour, style.transparency_pct), style.pen_width));
    graph_->setAdaptiveSampling(true);
    // The hairlines of a wide line overlap, so smoothing their edges adds cost but nothing visible.
    if (style.pen_width > 1) graph_->setAntialiased(false);
  }
  void Clear() override {
    graph_->data()->clear();
    chart_.DataChanged();
  }
  void Append(double x, double y) override {
    graph_->addData(x, y);
    chart_.DataChanged();
  }
  void AppendMany(std::span<const double> xs, std::span<const double> ys) override {
    QVector<double> keys(xs.begin(), xs.end()), values(ys.begin(), ys.end());
    graph_->addData(keys, values, std::is_sorted(keys.begin(), keys.end()));
    chart_.DataChanged();
  }
  int Count() const override { return graph_->dataCount(); }
  std::vector<SeriesPoint> Points() const override { return PointsOf(*graph_); }

 private:
  Chart& chart_;
  QCPGraph* graph_;
};

// Joins the points in the order they were added, whatever their x.
class CurveSeries : public ChartSeries {
 public:
  CurveSeries(Chart& chart, QCustomPlot* plot, const Chart::SeriesStyle& style) : chart_(chart) {
    curve_ = new QCPCurve(plot->xAxis, plot->yAxis);
    curve_->setLayer(NewSeriesLayer(plot));
    curve_->setProperty(ScalesBottomAxis, style.scales_bottom_axis);
    curve_->setPen(QPen(WithTransparency(style.colour, style.transparency_pct), style.pen_width));
  }
  void Clear() override {
    curve_->data()->clear();
    chart_.DataChanged();
  }
  void Append(double x, double y) override {
    curve_->addData(x, y);
    chart_.DataChanged();
  }
  // The plotting library leaves a gap at a point of NaN.
  void Break() override {
    if (curve_->dataCount() > 0) curve_->addData(qQNaN(), qQNaN());
  }
  int Count() const override { return curve_->dataCount(); }
  std::vector<SeriesPoint> Points() const override {
    std::vector<SeriesPoint> points;
    for (auto it = curve_->data()->constBegin(); it != curve_->data()->constEnd(); ++it)
      points.push_back({it->key, it->value, curve_->pen().color()});
    return points;
  }

 private:
  Chart& chart_;
  QCPCurve* curve_;
};

// Square markers. Points of their own colour go to one graph per colour on the
// series' layer, which keeps ten thousand coloured points fast to draw.
class PointSeries : public ChartSeries {
 public:
  PointSeries(Chart& chart, QCustomPlot* plot, const Chart::SeriesStyle& style)
      : chart_(chart), plot_(plot), style_(style), layer_(NewSeriesLayer(plot)) {}
  // A colour no point had since the last clearing goes with its graph: a scale whose
  // limits keep changing would otherwise leave thousands of empty graphs to lay out.
  void Clear() override {
    for (auto it = graphs_.begin(); it != graphs_.end();) {
      if (it->second->data()->isEmpty()) {
        plot_->removeGraph(it->second);
        it = graphs_.erase(it);
      } else {
        it->second->data()->clear();
        ++it;
      }
    }
    chart_.DataChanged();
  }
  void Append(double x, double y) override { Append(x, y, style_.colour); }
  void Append(double x, double y, QColor colour) override {
    GraphFor(colour)->addData(x, y);
    chart_.DataChanged();
  }
  void AppendColoured(std::span<const double> xs, std::span<const double> ys, std::span<const QRgb> colours) override {
    std::map<QRgb, std::pair<QVector<double>, QVector<double>>> by_colour;
    for (size_t i = 0; i < std::min({xs.size(), ys.size(), colours.size()}); ++i) {
      auto& [keys, values] = by_colour[colours[i]];
      keys.push_back(xs[i]);
      values.push_back(ys[i]);
    }
    for (auto& [rgba, data] : by_colour) GraphFor(QColor::fromRgba(rgba))->addData(data.first, data.second);
    chart_.DataChanged();
  }
  int Count() const override {
    int count = 0;
    for (const auto& [rgba, graph] : graphs_) count += graph->dataCount();
    return count;
  }
  int MarkerHalfSize() const override { return style_.marker_half_size; }
  void SetMarkerHalfSize(int half_size) override {
    if (half_size == style_.marker_half_size) return;
    style_.marker_half_size = half_size;
    for (auto& [rgba, graph] : graphs_) {
      QCPScatterStyle scatter = graph->scatterStyle();
      scatter.setSize(2 * half_size + 1);
      graph->setScatterStyle(scatter);
    }
    chart_.DataChanged();
  }
  std::vector<SeriesPoint> Points() const override {
    std::vector<SeriesPoint> points;
    for (const auto& [rgba, graph] : graphs_) {
      auto more = PointsOf(*graph);
      points.insert(points.end(), more.begin(), more.end());
    }
    return points;
  }

 private:
  QCPGraph* GraphFor(QColor colour) {
    colour = WithTransparency(colour, style_.transparency_pct);
    QCPGraph*& graph = graphs_[colour.rgba()];
    if (graph) return graph;
    graph = plot_->addGraph(plot_->xAxis, plot_->yAxis);
    graph->setLayer(layer_);
    graph->setProperty(ScalesBottomAxis, style_.scales_bottom_axis);
    graph->setLineStyle(QCPGraph::lsNone);
    // Squares on whole pixels: smoothing their edges only blurs them, and costs half the
    // time of drawing twenty thousand.
    graph->setAntialiasedScatters(false);
    // A scatter style without a pen of its own borrows the graph's pen for the outline.
    // A hollow square is its outline, in the point's colour.
    QPen outline = style_.hollow ? QPen(colour) : style_.marker_outline ? QPen(Qt::black) : QPen(Qt::NoPen);
    graph->setPen(outline);
    graph->setScatterStyle(QCPScatterStyle(
        style_.marker == Chart::Marker::Triangle ? QCPScatterStyle::ssTriangleInverted : QCPScatterStyle::ssSquare,
        outline, style_.hollow ? QBrush(Qt::NoBrush) : QBrush(colour), 2 * style_.marker_half_size + 1));
    return graph;
  }

  Chart& chart_;
  QCustomPlot* plot_;
  Chart::SeriesStyle style_;
  QCPLayer* layer_;
  std::map<QRgb, QCPGraph*> graphs_;
};

// A marker with a bar across its interval in x and one of its error in y.
class BarSeries : public ChartSeries {
 public:
  BarSeries(Chart& chart, QCustomPlot* plot, const Chart::SeriesStyle& style) : chart_(chart) {
    graph_ = plot->addGraph(plot->xAxis, plot->yAxis);
    graph_->setLayer(NewSeriesLayer(plot));
    graph_->setProperty(ScalesBottomAxis, style.scales_bottom_axis);
    graph_->setLineStyle(QCPGraph::lsNone);
    const QPen pen(style.colour, style.pen_width);
    graph_->setPen(pen);
    graph_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssSquare, pen, QBrush(style.colour), 2 * style.marker_half_size + 1));
    for (auto** bars : {&across_, &error_}) {
      *bars = new QCPErrorBars(plot->xAxis, plot->yAxis);
      (*bars)->setLayer(graph_->layer());
      (*bars)->setDataPlottable(graph_);
      (*bars)->setPen(pen);
    }
    across_->setErrorType(QCPErrorBars::etKeyError);
    error_->setErrorType(QCPErrorBars::etValueError);
  }
  void Clear() override {
    graph_->data()->clear();
    across_->data()->clear();
    error_->data()->clear();
    chart_.DataChanged();
  }
  void Append(double x, double y) override { AppendBar(x, y, 0, 0, 0); }
  void AppendBar(double x, double y, double x_minus, double x_plus, double y_error) override {
    // The bars follow the graph's points by index, and the graph keeps them sorted by x.
    graph_->addData(x, y);
    const int index = static_cast<int>(graph_->data()->findBegin(x, false) - graph_->data()->constBegin());
    across_->data()->insert(index, QCPErrorBarsData(x_minus, x_plus));
    error_->data()->insert(index, QCPErrorBarsData(y_error));
    chart_.DataChanged();
  }
  int Count() const override { return graph_->dataCount(); }
  std::vector<SeriesPoint> Points() const override { return PointsOf(*graph_); }
  int MarkerHalfSize() const override { return static_cast<int>(graph_->scatterStyle().size()) / 2; }

 private:
  Chart& chart_;
  QCPGraph* graph_;
  QCPErrorBars* across_;
  QCPErrorBars* error_;
};

// One line of a legend: the mark, drawn as the series draws it, and its meaning.
class LegendSample : public QCPAbstractLegendItem {
 public:
  LegendSample(QCPLegend* legend, LegendEntry entry) : QCPAbstractLegendItem(legend), entry_(std::move(entry)) {}

 protected:
  void draw(QCPPainter* painter) override {
    const QSize icon = mParentLegend->iconSize();
    const QRect text = QFontMetrics(mFont).boundingRect(0, 0, 0, icon.height(), Qt::TextDontClip, entry_.text);
    const int height = std::max(text.height(), icon.height());
    painter->setFont(mFont);
    painter->setPen(QPen(mTextColor));
    painter->drawText(mRect.x() + icon.width() + mParentLegend->iconTextPadding(), mRect.y(), text.width(), height,
                      Qt::TextDontClip, entry_.text);
    const QPointF centre =
        QRectF(QPointF(mRect.topLeft()), QSizeF(icon)).center() + QPointF(0, (height - icon.height()) / 2.0);
    painter->save();
    painter->setBrush(Qt::NoBrush);
    const double half = 3.5;
    switch (entry_.look) {
      case LegendEntry::Look::Line:
        painter->setPen(QPen(entry_.colour, 2));
        painter->drawLine(
            QLineF(centre.x() - icon.width() / 2.0, centre.y(), centre.x() + icon.width() / 2.0, centre.y()));
        break;
      case LegendEntry::Look::Square:
        painter->setPen(QPen(Qt::black));
        painter->setBrush(entry_.colour);
        painter->drawRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
        break;
      case LegendEntry::Look::Hollow:
        painter->setPen(QPen(entry_.colour));
        painter->drawRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
        break;
      case LegendEntry::Look::Triangle:
        painter->setPen(QPen(entry_.colour));
        painter->setBrush(entry_.colour);
        painter->drawPolygon(QPolygonF(
            {centre + QPointF(-half - 1, -half), centre + QPointF(half + 1, -half), centre + QPointF(0, half + 1)}));
        break;
    }
    painter->restore();
  }
  QSize minimumOuterSizeHint() const override {
    const QSize icon = mParentLegend->iconSize();
    const QRect text = QFontMetrics(mFont).boundingRect(0, 0, 0, icon.height(), Qt::TextDontClip, entry_.text);
    return {icon.width() + mParentLegend->iconTextPadding() + text.width() + mMargins.left() + mMargins.right(),
            std::max(text.height(), icon.height()) + mMargins.top() + mMargins.bottom()};
  }
  // No wider than it needs: a legend in a row below the plot keeps its entries together at the left.
  QSize maximumOuterSizeHint() const override { return minimumOuterSizeHint(); }

 private:
  LegendEntry entry_;
};

// The row of a layout grid that holds an element, -1 when none does.
int RowOf(QCPLayoutGrid* grid, QCPLayoutElement* element) {
  for (int i = 0; i < grid->elementCount(); ++i)
    if (grid->elementAt(i) == element) {
      int row = 0, column = 0;
      grid->indexToRowCol(i, row, column);
      return row;
    }
  return -1;
}

// The plot, laid out on demand: the room markers need is worked out from the plot
// area of the size the widget has now, not of the last replot's.
class LaidOutPlot : public QCustomPlot {
 public:
  using QCustomPlot::QCustomPlot;
  void LayOut() {
    setViewport(rect());
    updateLayout();
  }
};

}  // namespace

void ChartAxis::SetAutomatic(bool automatic) {
  automatic_ = automatic;
  if (automatic) chart_.DataChanged();
}

double ChartAxis::Minimum() const {
  chart_.UpdateAutomaticRanges();
  return axis_->range().lower;
}

double ChartAxis::Maximum() const {
  chart_.UpdateAutomaticRanges();
  return axis_->range().upper;
}

void ChartAxis::SetLimits(double minimum, double maximum) {
  automatic_ = false;
  axis_->setRange(QCPRange(minimum, maximum));
}

double ChartAxis::ValueAtPixel(double pixel) const {
  chart_.UpdateAutomaticRanges();
  return axis_->pixelToCoord(pixel);
}

double ChartAxis::PixelAtValue(double value) const {
  chart_.UpdateAutomaticRanges();
  return axis_->coordToPixel(value);
}

void ChartAxis::SetSpan(double low, double high) {
  span_low_ = low, span_high_ = high;
  chart_.DataChanged();
}

void ChartAxis::SetReversed(bool reversed) { axis_->setRangeReversed(reversed); }

void ChartAxis::SetLogarithmic(double base) {
  axis_->setScaleType(QCPAxis::stLogarithmic);
  QSharedPointer<QCPAxisTickerLog> ticker(new QCPAxisTickerLog);
  ticker->setLogBase(base);
  axis_->setTicker(ticker);
}

void ChartAxis::SetVisible(bool visible) { axis_->setVisible(visible); }
bool ChartAxis::Visible() const { return axis_->visible(); }
void ChartAxis::SetLabels(bool labels) { axis_->setTickLabels(labels); }
void ChartAxis::SetTitle(const QString& title) { axis_->setLabel(title); }

Chart::Chart(QWidget* parent) : QWidget(parent), plot_(new LaidOutPlot(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(plot_);
  plot_->setMinimumSize(0, 0);
  // The chart takes the focus on a press, so the plot inside must not take it away:
  // the focused chart is the white one, whatever the press goes on to do. (A focus
  // change at the release also redrew the chart while a plain click's rectangle of no
  // size was active, leaving it as a fuchsia dot.)
  plot_->setFocusPolicy(Qt::NoFocus);
  // A low chart shares its height with its title instead of keeping a minimum plot area.
  plot_->axisRect()->setMinimumSize(0, 0);
  plot_->setMouseTracking(true);
  // No legend is shown, yet each of its items would be measured, text and all, at every
  // layout: hundreds of them for the colours of a pseudosection.
  plot_->setAutoAddPlottableToLegend(false);
  plot_->installEventFilter(this);
  plot_->setInteractions(QCP::iRangeZoom);
  plot_->setSelectionRectMode(QCP::srmZoom);
  plot_->axisRect()->setRangeZoomAxes(plot_->xAxis, plot_->yAxis);
  connect(plot_->selectionRect(), &QCPSelectionRect::accepted, this, [this] { MarkAxesManual(); });
  connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this](const QCPRange& range) { emit BottomLimitsChanged(range.lower, range.upper); });
  connect(plot_, &QCustomPlot::afterReplot, this, &Chart::Replotted);
  left_ = std::make_unique<ChartAxis>(*this, plot_->yAxis);
  bottom_ = std::make_unique<ChartAxis>(*this, plot_->xAxis);
  top_ = std::make_unique<ChartAxis>(*this, plot_->xAxis2);
  auto* title = new QCPTextElement(plot_, "");
  title_ = title;
  SetColour(ToolkitColour(ButtonFaceColour));
}

Chart::~Chart() = default;

ChartSeries& Chart::AddSeries(const SeriesStyle& style) {
  switch (style.kind) {
    case SeriesKind::FastLine: series_.push_back(std::make_unique<GraphSeries>(*this, plot_, style)); break;
    case SeriesKind::Line: series_.push_back(std::make_unique<CurveSeries>(*this, plot_, style)); break;
    case SeriesKind::Bars: series_.push_back(std::make_unique<BarSeries>(*this, plot_, style)); break;
    case SeriesKind::Points: series_.push_back(std::make_unique<PointSeries>(*this, plot_, style)); break;
  }
  return *series_.back();
}

void Chart::SetTitle(const QString& title) { static_cast<QCPTextElement*>(title_)->setText(title); }

QString Chart::Title() const { return static_cast<QCPTextElement*>(title_)->text(); }

void Chart::SetTitleVisible(bool visible) {
  if (visible == title_visible_) return;
  auto* title = static_cast<QCPTextElement*>(title_);
  if (visible) {
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, title);
  } else {
    plot_->plotLayout()->take(title);
    plot_->plotLayout()->simplify();
  }
  // Out of the layout the element is still a layer's child and would go on being
  // drawn at its last place, over the points.
  title->setVisible(visible);
  title_visible_ = visible;
}

void Chart::SetColour(QColor colour) {
  colour_ = colour;
  plot_->setBackground(QBrush(colour));
  plot_->replot(QCustomPlot::rpQueuedRefresh);
}

namespace {

// Blues below zero and reds above, pale at zero: the colour of u = value / largest |value|.
QColor DivergingColour(double u) {
  static const std::pair<double, QColor> stops[] = {{-1, QColor(5, 48, 97)},
                                                    {-0.5, QColor(67, 147, 195)},
                                                    {0, QColor(215, 215, 215)},
                                                    {0.5, QColor(214, 96, 77)},
                                                    {1, QColor(103, 0, 31)}};
  u = std::clamp(u, -1.0, 1.0);
  for (size_t i = 1; i < std::size(stops); ++i)
    if (u <= stops[i].first) {
      const double t = (u - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
      const QColor& a = stops[i - 1].second;
      const QColor& b = stops[i].second;
      return QColor::fromRgbF(a.redF() + t * (b.redF() - a.redF()), a.greenF() + t * (b.greenF() - a.greenF()),
                              a.blueF() + t * (b.blueF() - a.blueF()));
    }
  return stops[std::size(stops) - 1].second;
}

// A linear gradient over [low, high] on which every value has the colour it has about zero.
QCPColorGradient DivergingGradient(double low, double high) {
  QCPColorGradient gradient;
  gradient.clearColorStops();
  gradient.setColorInterpolation(QCPColorGradient::ciRGB);
  const double largest = std::max(std::fabs(low), std::fabs(high));
  if (!(largest > 0) || !(high > low)) {
    gradient.setColorStopAt(0, DivergingColour(0));
    gradient.setColorStopAt(1, DivergingColour(0));
    return gradient;
  }
  gradient.setColorStopAt(0, DivergingColour(low / largest));
  gradient.setColorStopAt(1, DivergingColour(high / largest));
  for (double u : {-0.5, 0.0, 0.5}) {
    const double place = (u * largest - low) / (high - low);
    if (place > 0 && place < 1) gradient.setColorStopAt(place, DivergingColour(u));
  }
  return gradient;
}

}  // namespace

int Chart::PlotRow() const { return std::max(RowOf(plot_->plotLayout(), plot_->axisRect()), 0); }

void Chart::SetColourScale(double minimum, double maximum, bool logarithmic, const QString& label, bool diverging) {
  auto* scale = static_cast<QCPColorScale*>(colour_scale_);
  if (!scale) {
    scale = new QCPColorScale(plot_);
    scale->setType(QCPAxis::atRight);
    scale->setBarWidth(12);
    // Half a label's room beyond the bar's ends: a label the plot's edge would cut is not drawn.
    const int half_label = QFontMetrics(scale->axis()->tickLabelFont()).height() / 2 + 2;
    scale->setMinimumMargins(QMargins(0, half_label, 0, half_label));
    plot_->plotLayout()->addElement(PlotRow(), 1, scale);
    colour_scale_ = scale;
  }
  scale->setVisible(true);
  scale->setGradient(diverging ? DivergingGradient(minimum, maximum) : QCPColorGradient(QCPColorGradient::gpJet));
  scale->setDataScaleType(logarithmic ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
  // Both ends carry their values, and round values stand between them.
  QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
  const std::vector<double> ticks = ColourBarTicks(minimum, maximum, logarithmic);
  const QStringList labels = ColourBarLabels(ticks);
  for (size_t i = 0; i < ticks.size(); ++i) ticker->addTick(ticks[i], labels[qsizetype(i)]);
  ticker->setSubTickCount(0);
  scale->axis()->setTicker(ticker);
  scale->setDataRange(QCPRange(minimum, maximum));
  scale->setLabel(label);
}

void Chart::SetLegend(const std::vector<LegendEntry>& entries, LegendPlace place) {
  QCPLegend* legend = plot_->legend;
  legend->clearItems();
  legend->setVisible(!entries.empty());
  if (entries.empty()) return;
  for (const LegendEntry& entry : entries) legend->addItem(new LegendSample(legend, entry));
  QCPLayoutGrid* grid = plot_->plotLayout();
  QCPLayoutInset* inset = plot_->axisRect()->insetLayout();
  const bool below = place == LegendPlace::Below;
  // Below the plot, in a row of its own: the legend at the left, the rest of the row empty.
  auto* row = static_cast<QCPLayoutGrid*>(legend_row_);
  if (below && !row) {
    inset->take(legend);
    inset->simplify();
    row = new QCPLayoutGrid;
    grid->addElement(grid->rowCount(), 0, row);
    // The row keeps the height the legend needs; the plot takes the rest.
    grid->setRowStretchFactor(grid->rowCount() - 1, 0.001);
    row->addElement(0, 0, legend);
    row->addElement(0, 1, new QCPLayoutElement(plot_));
    legend_row_ = row;
  } else if (!below && row) {
    row->take(legend);
    grid->remove(row);
    grid->simplify();
    legend_row_ = nullptr;
    inset->addElement(legend, Qt::AlignRight | Qt::AlignTop);
  }
  legend->setFillOrder(below ? QCPLayoutGrid::foColumnsFirst : QCPLayoutGrid::foRowsFirst);
  legend->setWrap(below ? 0 : 1);
  legend->setBorderPen(below ? Qt::NoPen : QPen(QColor(160, 160, 160)));
  legend->setBrush(below ? Qt::NoBrush : QBrush(QColor(255, 255, 255, 220)));
  legend->setMargins(below ? QMargins(4, 0, 4, 2) : QMargins(6, 4, 6, 4));
  legend->setColumnSpacing(below ? 16 : 8);
  legend->setIconSize(18, 10);
  DataChanged();
}

void Chart::SetNote(const QString& note) {
  auto* text = static_cast<QCPItemText*>(note_);
  if (!text) {
    text = new QCPItemText(plot_);
    text->position->setType(QCPItemPosition::ptAxisRectRatio);
    text->position->setCoords(0.5, 0.5);
    text->setPositionAlignment(Qt::AlignCenter);
    text->setBrush(QBrush(QColor(255, 255, 255, 230)));
    text->setPadding(QMargins(8, 4, 8, 4));
    note_ = text;
  }
  text->setText(note);
  text->setVisible(!note.isEmpty());
}

void Chart::HideColourScale() {
  if (auto* scale = static_cast<QCPColorScale*>(colour_scale_)) scale->setVisible(false);
}

QColor Chart::ScaleColour(double value) const {
  auto* scale = static_cast<QCPColorScale*>(colour_scale_);
  if (!scale) return Qt::black;
  return QColor::fromRgb(
      scale->gradient().color(value, scale->dataRange(), scale->dataScaleType() == QCPAxis::stLogarithmic));
}

QWidget* Chart::MouseSurface() const { return plot_; }

QRect Chart::PlotArea() const { return plot_->axisRect()->rect().translated(plot_->pos()); }

void Chart::SetPlotSides(int left, int right) {
  QCPAxisRect* area = plot_->axisRect();
  QCP::MarginSides automatic = QCP::msTop | QCP::msBottom;
  if (left < 0) automatic |= QCP::msLeft;
  if (right < 0) automatic |= QCP::msRight;
  const QMargins now = area->margins();
  if (area->autoMargins() == automatic && (left < 0 || now.left() == left) && (right < 0 || now.right() == right))
    return;
  area->setAutoMargins(automatic);
  area->setMargins(QMargins(std::max(left, 0), now.top(), std::max(right, 0), now.bottom()));
  DataChanged();
  Replot();
}

std::vector<QRgb> Chart::ScaleColours(std::span<const double> values) const {
  auto* scale = static_cast<QCPColorScale*>(colour_scale_);
  std::vector<QRgb> colours(values.size(), QColor(Qt::black).rgb());
  if (!scale) return colours;
  // The scale hands out a copy of its gradient, which works out its colours anew: once here.
  QCPColorGradient gradient = scale->gradient();
  const QCPRange range = scale->dataRange();
  const bool logarithmic = scale->dataScaleType() == QCPAxis::stLogarithmic;
  for (size_t i = 0; i < values.size(); ++i) colours[i] = gradient.color(values[i], range, logarithmic);
  return colours;
}

namespace {
// The plotting library keeps what an axis needs to itself.
struct AxisRoom : QCPAxis {
  using QCPAxis::calculateMargin;
};
}  // namespace

int Chart::LeftAxisRoom() const {
  QCPAxis* axis = plot_->yAxis;
  return axis->visible() ? axis->offset() + (axis->*(&AxisRoom::calculateMargin))() : 0;
}

void Chart::SetBackWallColour(QColor colour) { plot_->axisRect()->setBackground(QBrush(colour)); }

void Chart::SetZoomPenColour(QColor colour) { plot_->selectionRect()->setPen(QPen(colour)); }

void Chart::UpdateAutomaticRanges() const {
  if (!ranges_stale_) return;
  ranges_stale_ = false;
  bool scaled[2] = {};
  for (ChartAxis* axis : {left_.get(), bottom_.get()}) {
    bool& done = scaled[axis == bottom_.get()];
    done = axis->automatic_ && ScaleToData(axis->axis_);
    if (axis->automatic_ && axis->span_low_ <= axis->span_high_) {
      QCPRange range(axis->span_low_, axis->span_high_);
      if (done) range.expand(axis->axis_->range());
      axis->axis_->setRange(range);
      done = true;
    }
  }
  // The plot area for the new limits' labels, the size the widget has now.
  static_cast<LaidOutPlot*>(plot_)->LayOut();
  FitValueTicks();
  for (ChartAxis* axis : {left_.get(), bottom_.get()})
    if (scaled[axis == bottom_.get()]) WidenForMarkers(axis->axis_);
}

int Chart::MarkerMargin() const {
  int half_size = -1;
  for (const auto& series : series_) half_size = std::max(half_size, series->MarkerHalfSize());
  return half_size < 0 ? 0 : half_size + std::max(half_size / 2, MarkerClearance) + MarkerClearance;
}

// Labels of a low chart would run into each other at the plotting library's five ticks.
void Chart::FitValueTicks() const {
  QCPAxis* axis = plot_->yAxis;
  if (axis->scaleType() != QCPAxis::stLinear) return;
  constexpr double LabelPitch = 2.5;  // label heights from one tick to the next
  const int label = QFontMetrics(axis->tickLabelFont()).height();
  const int ticks = static_cast<int>(plot_->axisRect()->height() / (LabelPitch * label));
  axis->ticker()->setTickCount(std::clamp(ticks, 2, 5));
}

// The range of the data of the series that scale this axis. Without data an automatic
// axis keeps the range it has; a single value keeps the present width about it.
// Returns whether there was data.
bool Chart::ScaleToData(QCPAxis* axis) {
  const bool logarithmic = axis->scaleType() == QCPAxis::stLogarithmic;
  const QCP::SignDomain domain = logarithmic ? QCP::sdPositive : QCP::sdBoth;
  QCPRange range;
  bool any = false;
  for (QCPAbstractPlottable* plottable : axis->plottables()) {
    const bool key_axis = plottable->keyAxis() == axis;
    if (!plottable->realVisibility() || (key_axis && !plottable->property(ScalesBottomAxis).toBool())) continue;
    bool found = false;
    QCPRange data = key_axis ? plottable->getKeyRange(found, domain) : plottable->getValueRange(found, domain);
    if (!found) continue;
    if (any)
      range.expand(data);
    else
      range = data;
    any = true;
  }
  if (!any) return false;
  if (range.size() == 0) {
    const double centre = range.lower;
    const QCPRange now = axis->range();
    range = logarithmic ? QCPRange(centre / std::sqrt(now.upper / now.lower), centre * std::sqrt(now.upper / now.lower))
                        : QCPRange(centre - now.size() / 2, centre + now.size() / 2);
  }
  axis->setRange(range);
  return true;
}

// Widens an axis by the room a marker needs beyond the last point on either side, so
// that the squares at the edges are drawn whole.
void Chart::WidenForMarkers(QCPAxis* axis) const {
  const int margin = MarkerMargin();
  if (margin <= 0) return;
  const bool horizontal = axis->orientation() == Qt::Horizontal;
  const QRect area = plot_->axisRect()->rect();
  double pixels = horizontal ? area.width() : area.height();
  // A chart not laid out yet has no plot area: take the widget less room for the axes.
  constexpr int AxesRoom = 60;
  if (pixels <= 2.0 * margin) pixels = (horizontal ? plot_->width() : plot_->height()) - AxesRoom;
  if (pixels <= 2.0 * margin) return;
  const bool logarithmic = axis->scaleType() == QCPAxis::stLogarithmic;
  QCPRange range = axis->range();
  if (logarithmic && range.lower <= 0) return;
  const double low = logarithmic ? std::log(range.lower) : range.lower;
  const double high = logarithmic ? std::log(range.upper) : range.upper;
  const double extra = (high - low) * margin / (pixels - 2.0 * margin);
  if (logarithmic)
    axis->setRange(std::exp(low - extra), std::exp(high + extra));
  else
    axis->setRange(low - extra, high + extra);
}

void Chart::Replot() {
  UpdateAutomaticRanges();
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

void Chart::ReplotNow() {
  UpdateAutomaticRanges();
  plot_->replot(QCustomPlot::rpImmediateRefresh);
}

bool Chart::SaveImage(const QString& path, QSize size) {
  return SaveChartsImage(path, std::vector<Chart*>{this}, size);
}

ChartPicture Chart::Picture() const {
  if (picture_) return picture_();
  return {{const_cast<Chart*>(this)}, {}};
}

void Chart::AddMenuAction(const QString& text, std::function<void()> action) {
  menu_actions_.emplace_back(text, std::move(action));
}

QString Chart::SizeRefusal(QSize size) {
  if (size.isEmpty() || size.width() > LargestImageSide || size.height() > LargestImageSide ||
      qint64(size.width()) * size.height() > LargestImagePixels)
    return tr("Размер картинки: от 1 до %1 пикселей по стороне и не больше %2 млн пикселей всего")
        .arg(LargestImageSide)
        .arg(LargestImagePixels / 1'000'000);
  return {};
}

QString Chart::SaveImageAsked(const QString& path, QSize size) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix != "png" && suffix != "svg" && suffix != "pdf")
    return tr("Картинка сохраняется в форматах PNG, SVG и PDF: имя должно кончаться на .png, .svg или .pdf");
  if (size.isValid()) {
    const QString refused = SizeRefusal(size);
    if (!refused.isEmpty()) return refused;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The cursor reaches the screen before the drawing holds the window up.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const bool saved = SaveChartsImage(path, Picture(), size);
  QApplication::restoreOverrideCursor();
  return saved ? QString() : tr("File access denied");
}

namespace {

// The title's lines in pixels of the picture as shown: the first bold and larger.
QFont TitleFont(int line) {
  QFont font = QApplication::font();
  font.setPixelSize(line == 0 ? 15 : 12);
  font.setBold(line == 0);
  return font;
}

constexpr int TitleMargin = 6;

// The resolution the window and a PNG picture draw text in points at.
constexpr int ScreenDpi = 96;

// A title line's height, wrapped at the picture's width.
int LineHeight(int line, const QString& text, int width) {
  const QFontMetrics metrics(TitleFont(line));
  return std::max(metrics.lineSpacing(), metrics
                                             .boundingRect(QRect(0, 0, std::max(width - 2 * TitleMargin, 1), 100000),
                                                           Qt::AlignHCenter | Qt::TextWordWrap, text)
                                             .height());
}

int TitleHeight(const QStringList& title, int width) {
  if (title.isEmpty()) return 0;
  int height = 2 * TitleMargin;
  for (int i = 0; i < title.size(); ++i) height += LineHeight(i, title[i], width);
  return height;
}

// A line wider than the picture wraps at its spaces.
void PaintTitle(QPainter& painter, const QStringList& title, int width) {
  int top = TitleMargin;
  painter.setPen(Qt::black);
  for (int i = 0; i < title.size(); ++i) {
    painter.setFont(TitleFont(i));
    const int height = LineHeight(i, title[i], width);
    painter.drawText(QRect(TitleMargin, top, width - 2 * TitleMargin, height),
                     Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap, title[i]);
    top += height;
  }
}

// The charts one above the other under the title, on white, drawn at the size shown
// (`logical`) and magnified by `scale` onto the painter.
struct PlotPlace {
  QCustomPlot* plot;
  int height;
  QColor background;  // the chart's own, back after the picture
};
bool PaintPicture(QPaintDevice& device, const QStringList& title, const std::vector<PlotPlace>& plots, QSize logical,
                  double scale, bool vector) {
  QCPPainter painter;
  if (!painter.begin(&device)) return false;
  painter.setMode(vector ? QCPPainter::pmVectorized : QCPPainter::pmNoCaching);
  // Lines and markers grow with the picture, as text does.
  if (scale != 1) painter.setMode(QCPPainter::pmNonCosmetic);
  painter.scale(scale, scale);
  painter.fillRect(QRect(QPoint(0, 0), logical), Qt::white);
  PaintTitle(painter, title, logical.width());
  int top = TitleHeight(title, logical.width());
  for (const auto& [plot, height, background] : plots) {
    // A report's picture is on white, whatever colour the chart has on screen.
    plot->setBackground(QBrush(Qt::white));
    painter.save();
    painter.translate(0, top);
    plot->toPainter(&painter, logical.width(), height);
    painter.restore();
    plot->setBackground(QBrush(background));
    top += height;
  }
  return painter.end();
}

}  // namespace

QString PictureFileName(const ChartPicture& picture) {
  if (picture.title.isEmpty() || picture.title.front().isEmpty()) return "chart";
  const QStringList parts = picture.title.front().split(" — ");
  QString name = QFileInfo(parts.front()).completeBaseName();
  if (parts.size() > 1) name += " " + parts[1].section(':', 0, 0).section(',', 0, 0);
  name = name.simplified();
  static const QRegularExpression unsafe(R"re([\s/\\:*?"<>|]+)re");
  name.replace(unsafe, "_");
  return name.isEmpty() ? QString("chart") : name;
}

bool SaveChartsImage(const QString& path, const std::vector<Chart*>& charts, QSize size) {
  return SaveChartsImage(path, ChartPicture{charts, {}}, size);
}

namespace {

// The picture as shown: its charts one under the other, under their title.
QSize ShownSize(const ChartPicture& picture) {
  int shown_height = 0, shown_width = 0;
  for (Chart* chart : picture.charts) {
    shown_height += std::max(chart->height(), 1);
    shown_width = std::max(shown_width, chart->width());
  }
  shown_width = std::max(shown_width, 1);
  return {shown_width, shown_height + TitleHeight(picture.title, shown_width)};
}

}  // namespace

bool SaveChartsImage(const QString& path, const ChartPicture& picture, QSize size) {
  const std::vector<Chart*>& charts = picture.charts;
  if (charts.empty()) return false;
  for (Chart* chart : charts) chart->UpdateAutomaticRanges();
  const QSize shown = ShownSize(picture);
  int shown_height = 0;
  for (Chart* chart : charts) shown_height += std::max(chart->height(), 1);
  const int title_height = shown.height() - shown_height;
  if (size.width() > 0 && size.height() == 0)
    size.setHeight(std::max(1, int(std::lround(double(shown.height()) * size.width() / shown.width()))));
  if (!size.isValid() || size.isEmpty()) size = shown;
  // The picture is the charts as shown, magnified until it fills the size asked in one
  // direction; in the other the charts take the room there is.
  const double scale = std::min(double(size.width()) / shown.width(), double(size.height()) / shown.height());
  const QSize logical(std::max(1, int(std::lround(size.width() / scale))),
                      std::max(1, int(std::lround(size.height() / scale))));
  const int charts_height = std::max(logical.height() - title_height, 1);
  std::vector<PlotPlace> plots;
  int given = 0;
  for (size_t i = 0; i < charts.size(); ++i) {
    int height = i + 1 == charts.size() ? charts_height - given
                                        : charts_height * std::max(charts[i]->height(), 1) / shown_height;
    plots.push_back({charts[i]->plot_, height, charts[i]->Colour()});
    given += height;
  }
  const QString suffix = QFileInfo(path).suffix().toLower();
  const QString name = picture.title.isEmpty() ? QString() : picture.title.front();
  if (suffix == "png") {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return PaintPicture(image, picture.title, plots, logical, scale, false) && image.save(path, "PNG");
  }
  if (suffix == "svg") {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    // A pixel of the picture as the screen's and the PNG's: text in points the size it is there.
    svg.setResolution(ScreenDpi);
    svg.setTitle(name);
    svg.setDescription(picture.title.mid(1).join('\n'));
    ClippedSvg clipped(svg);
    return PaintPicture(clipped, picture.title, plots, logical, scale, true) && QFileInfo(path).size() > 0;
  }
  if (suffix == "pdf") {
    QPdfWriter pdf(path);
    // The page holds the picture's pixels at the screen's resolution, so that text in
    // points is the size it is on the screen and in the PNG.
    pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / ScreenDpi, QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(ScreenDpi);
    pdf.setTitle(name);
    pdf.setCreator("vostrel");
    return PaintPicture(pdf, picture.title, plots, logical, scale, true) && QFileInfo(path).size() > 0;
  }
  return false;
}

namespace {
void Tell(const QString& message) {
  if (!message.isEmpty()) ShowErrorMessage(message.toStdString());
}
}  // namespace

void Chart::ShowImageMenu(QPoint global_position) {
  auto* menu_owner = new QMenu(this);
  menu_owner->setObjectName("ImageMenu");
  menu_owner->setAttribute(Qt::WA_DeleteOnClose);
  QMenu& menu = *menu_owner;
  for (const char* format : {"PNG", "SVG", "PDF"}) {
    // The menu deletes itself once closed: its actions' work runs after it is gone,
    // not inside its handler, since the save lets events through while it draws.
    menu.addAction(tr("Сохранить %1…").arg(format), this, [this, format] {
      QTimer::singleShot(0, this, [this, format] {
        const QString suffix = QString(format).toLower();
        const QString path = QFileDialog::getSaveFileName(this, QString(), PictureFileName(Picture()) + "." + suffix,
                                                          QString("%1 (*.%2)").arg(format, suffix));
        if (!path.isEmpty()) Tell(SaveImageAsked(path));
      });
    });
  }
  menu.addAction(tr("Сохранить с размером…"), this, [this] {
    QTimer::singleShot(0, this, [this] {
      bool ok = false;
      // The size "Сохранить PNG…" gives: the whole picture, all its charts and title.
      const QSize shown = ShownSize(Picture());
      const QString text =
          QInputDialog::getText(this, QString(), tr("Размер, пиксели (ширина x высота)"), QLineEdit::Normal,
                                QString("%1x%2").arg(shown.width()).arg(shown.height()), &ok);
      const QStringList parts = text.split('x');
      if (!ok) return;
      const QSize size = parts.size() == 2 ? QSize(parts[0].trimmed().toInt(), parts[1].trimmed().toInt()) : QSize();
      // A size that cannot be drawn is refused before a name is asked for.
      const QString refused = SizeRefusal(size);
      if (!refused.isEmpty()) return Tell(refused);
      const QString path =
          QFileDialog::getSaveFileName(this, QString(), "chart.png", "PNG, SVG, PDF (*.png *.svg *.pdf)");
      if (!path.isEmpty()) Tell(SaveImageAsked(path, size));
    });
  });
  if (!menu_actions_.empty()) menu.addSeparator();
  for (const auto& [text, action] : menu_actions_)
    menu.addAction(text, this, [this, action] { QTimer::singleShot(0, this, action); });
  menu.popup(global_position);
}

void Chart::MarkAxesManual() {
  left_->automatic_ = false;
  bottom_->automatic_ = false;
}

// The room markers need beyond the last points is a number of pixels: a new size
// makes the automatic limits be worked out again.
void Chart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  DataChanged();
  Replot();
}

void Chart::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  emit FocusEntered();
}

void Chart::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  emit FocusLeft();
}

void Chart::Scroll(QPoint to) {
  QCPAxis* x = plot_->xAxis;
  QCPAxis* y = plot_->yAxis;
  x->setRange(scroll_limits_[0], scroll_limits_[1]);
  y->setRange(scroll_limits_[2], scroll_limits_[3]);
  double dx = x->pixelToCoord(scroll_start_.x()) - x->pixelToCoord(to.x());
  double dy = y->pixelToCoord(scroll_start_.y()) - y->pixelToCoord(to.y());
  x->setRange(scroll_limits_[0] + dx, scroll_limits_[1] + dx);
  y->setRange(scroll_limits_[2] + dy, scroll_limits_[3] + dy);
  MarkAxesManual();
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool Chart::HandleMouse(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  QPoint position = mouse->position().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      pressed_inside_ = mouse->button() == Qt::LeftButton;
      if (mouse->button() == Qt::RightButton) {
        UpdateAutomaticRanges();
        scrolling_ = true;
        scrolled_ = false;
        scroll_start_ = position;
        scroll_limits_[0] = plot_->xAxis->range().lower;
        scroll_limits_[1] = plot_->xAxis->range().upper;
        scroll_limits_[2] = plot_->yAxis->range().lower;
        scroll_limits_[3] = plot_->yAxis->range().upper;
      }
      emit MousePressed(mouse->button(), position.x(), position.y());
      // The right button scrolls; the plot must not start its zoom rectangle with it.
      return mouse->button() == Qt::RightButton;
    case QEvent::MouseMove:
      emit MouseMoved(position.x(), position.y());
      if (scrolling_ && (mouse->buttons() & Qt::RightButton)) {
        scrolled_ = scrolled_ || (position - scroll_start_).manhattanLength() > 3;
        if (scrolled_) Scroll(position);
        return true;
      }
      return false;
    case QEvent::MouseButtonRelease:
      if (mouse->button() == Qt::RightButton) {
        scrolling_ = false;
        if (!scrolled_) ShowImageMenu(mouse->globalPosition().toPoint());
        return true;
      }
      if (mouse->button() == Qt::LeftButton && pressed_inside_ && plot_->rect().contains(position)) emit Clicked();
      pressed_inside_ = false;
      return false;
    case QEvent::MouseButtonDblClick:
      if (mouse->button() == Qt::LeftButton) emit DoubleClicked();
      return false;
    default: return false;
  }
}

bool Chart::eventFilter(QObject* watched, QEvent* event) {
  if (watched != plot_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: return HandleMouse(event);
    case QEvent::Leave: emit MouseLeft(); return false;
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      bool handled = false;
      emit Wheel(wheel->angleDelta().y(), wheel->globalPosition().toPoint(), wheel->modifiers(), &handled);
      if (handled) {
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return true;
      }
      UpdateAutomaticRanges();
      MarkAxesManual();  // the component zooms by itself
      return false;
    }
    default: return false;
  }
}

#pragma once
// The chart component as the window uses it: series, axes with automatic scaling,
// pixel-to-value conversion, a logarithmic axis, a title, colours, a legend, a colour
// bar, the rectangle zoom and scrolling, and pictures. The plotting library stays behind
// this file.

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QCustomPlot;
class QCPAxis;
class Chart;

// A toolkit colour value 0x00BBGGRR (red in the low byte); values with the high byte
// 0xFF are system colours (0xFF00000F button face, 0xFF000008 window text).
QColor ToolkitColour(uint32_t value);
constexpr uint32_t ButtonFaceColour = 0xFF00000F;

struct SeriesPoint {
  double x;
  double y;
  QColor colour;
};

class ChartSeries {
 public:
  virtual ~ChartSeries() = default;
  virtual void Clear() = 0;
  // A line series: the next point begins a piece of its own, not joined to the last one
  // (its Points show the break as a point of NaN). Others ignore it.
  virtual void Break() {}
  // A point in the series' own colour.
  virtual void Append(double x, double y) = 0;
  // A point in a colour of its own (point series only; others use the series' colour).
  virtual void Append(double x, double y, QColor colour) { (void)colour, Append(x, y); }
  virtual void AppendMany(std::span<const double> xs, std::span<const double> ys);
  // Points each in a colour of its own, at once (point series: much faster than one by one).
  virtual void AppendColoured(std::span<const double> xs, std::span<const double> ys, std::span<const QRgb> colours);
  // A point with a horizontal bar from x - x_minus to x + x_plus and a vertical one of
  // ± y_error (bar series; others take the point alone).
  virtual void AppendBar(double x, double y, double x_minus, double x_plus, double y_error) {
    (void)x_minus, (void)x_plus, (void)y_error, Append(x, y);
  }
  virtual int Count() const = 0;
  // The points in the order they are drawn (a point series: colour by colour).
  virtual std::vector<SeriesPoint> Points() const = 0;
  // Markers: squares of 2h + 1 pixels; -1 for a series without markers.
  virtual int MarkerHalfSize() const { return -1; }
  virtual void SetMarkerHalfSize(int half_size) { (void)half_size; }
};

class ChartAxis {
 public:
  explicit ChartAxis(Chart& chart, QCPAxis* axis) : chart_(chart), axis_(axis) {}

  // On: the limits follow the data at every redraw. Off: they stay as set.
  void SetAutomatic(bool automatic);
  bool Automatic() const { return automatic_; }
  // With automatic scaling on, the limits last computed from the data.
  double Minimum() const;
  double Maximum() const;
  // Both limits at once, so a new range beyond the old one is never refused or inverted.
  void SetLimits(double minimum, double maximum);
  // The value at a pixel position in the chart's own coordinates (linear axes extend beyond their ends).
  double ValueAtPixel(double pixel) const;
  double PixelAtValue(double value) const;
  // Automatic limits that take in [low, high] as well as the data (NaN: the data alone).
  void SetSpan(double low, double high);
  // Values growing downwards (or leftwards), as depth does.
  void SetReversed(bool reversed);
  void SetLogarithmic(double base);
  void SetVisible(bool visible);
  void SetLabels(bool labels);
  void SetTitle(const QString& title);
  QString Title() const;
  bool Visible() const;

 private:
  friend class Chart;
  Chart& chart_;
  QCPAxis* axis_;
  bool automatic_ = true;
  double span_low_ = NAN, span_high_ = NAN;
};

// The limits a wheel step gives an axis from minimum to maximum about the value `at`,
// which keeps its place: a quarter in, or the third out that undoes it.
struct AxisLimits {
  double minimum, maximum;
};
AxisLimits WheelZoomed(double minimum, double maximum, double at, bool zoom_in);

// What a legend shows of a kind of mark: its look and colour, and what it means.
struct LegendEntry {
  enum class Look { Line, Square, Hollow, Triangle };
  Look look = Look::Square;
  QColor colour;
  QString text;
};

// The ticks of a colour bar from low to high: both ends, and round values between them
// (at least one), none so near another that their labels would meet.
std::vector<double> ColourBarTicks(double low, double high, bool logarithmic);
// A colour bar's label of a value: `digits` significant digits, no exponent in between.
QString ColourBarLabel(double value, int digits = 3);
// The labels of a colour bar's ticks: three significant digits, or as many more as it
// takes for neighbouring labels to differ.
QStringList ColourBarLabels(const std::vector<double>& ticks);

class Chart;
// A picture of one or more charts one above the other, under a title, for a report.
struct ChartPicture {
  std::vector<Chart*> charts;
  // Lines above the charts: the first in bold (what the picture shows), the rest plain.
  QStringList title;
};
// Several charts one above the other in one PNG, SVG or PDF file, each as wide as `size`
// and sharing its height by their heights on screen, under the picture's title, on
// white. Without a size, the size shown (and the title's room); a larger one draws the
// charts as shown, magnified to fill it, fonts, lines and markers alike (the PDF and
// SVG carry the first title line as their title). A size of no height: that width, the
// height in proportion.
bool SaveChartsImage(const QString& path, const ChartPicture& picture, QSize size = {});
// The name the chart's menu proposes for a picture: the survey and what it shows, as
// "ip_запись_5" for record 5 of ip.qmr; "chart" for a picture without a title.
QString PictureFileName(const ChartPicture& picture);
bool SaveChartsImage(const QString& path, const std::vector<Chart*>& charts, QSize size = {});

class Chart : public QWidget {
  Q_OBJECT

 public:
  enum class SeriesKind {
    FastLine,  // many points joined in x order, sampled for speed
    Line,      // points joined in the order they were added
    Points,    // square markers; each point may have its own colour
    Bars,      // markers with a horizontal and a vertical bar each, as intervals and errors are drawn
  };
  enum class Marker { Square, Triangle };  // a triangle points down
  struct SeriesStyle {
    SeriesKind kind = SeriesKind::FastLine;
    QColor colour = Qt::red;
    int pen_width = 1;
    int marker_half_size = 3;  // points: squares of 2h + 1 pixels
    bool marker_outline = true;
    int transparency_pct = 0;
    // Whether the series' x values enter the bottom axis's automatic range. The error
    // chart's marker may stand where the last survey's records were.
    bool scales_bottom_axis = true;
    // Points: an empty square, outlined, for values that have no colour.
    bool hollow = false;
    Marker marker = Marker::Square;
  };

  explicit Chart(QWidget* parent = nullptr);
  ~Chart() override;

  // The window's resize rule decides a chart's height, however small.
  QSize minimumSizeHint() const override { return {0, 0}; }

  ChartSeries& AddSeries(const SeriesStyle& style);
  ChartSeries& SeriesAt(int index) { return *series_.at(static_cast<size_t>(index)); }
  int SeriesCount() const { return static_cast<int>(series_.size()); }

  ChartAxis& LeftAxis() { return *left_; }
  ChartAxis& BottomAxis() { return *bottom_; }
  ChartAxis& TopAxis() { return *top_; }

  void SetTitle(const QString& title);
  QString Title() const;
  void SetTitleVisible(bool visible);
  bool TitleVisible() const { return title_visible_; }
  // The chart's own background, and the back wall behind the series.
  void SetColour(QColor colour);
  QColor Colour() const { return colour_; }
  void SetBackWallColour(QColor colour);
  void SetZoomPenColour(QColor colour);
  // A colour bar beside the plot for values from minimum to maximum, labelled at both
  // ends and at round values between them, and the colour it gives a value (the bar's
  // ends beyond them). Diverging: white at zero, blues below and reds above.
  void SetColourScale(double minimum, double maximum, bool logarithmic, const QString& label, bool diverging = false);
  void HideColourScale();
  QColor ScaleColour(double value) const;
  // The same for many values at once.
  std::vector<QRgb> ScaleColours(std::span<const double> values) const;
  // The kinds of marks explained beside the plot: in its top right corner, or in a row
  // below it. None hides the legend.
  enum class LegendPlace { InsideTopRight, Below };
  void SetLegend(const std::vector<LegendEntry>& entries, LegendPlace place);
  // A line of text in the middle of the plot area (empty: none), as a note on what it lacks.
  void SetNote(const QString& note);

  // Brings every automatic axis to the data and redraws once the current handler is
  // done, however often it is asked; ReplotNow redraws at once.
  void Replot();
  void ReplotNow();

  // Writes what the chart shows as a PNG, SVG or PDF file (by the name's extension), at
  // the size shown or at `size`. Returns false when the file cannot be written.
  bool SaveImage(const QString& path, QSize size = {});
  // The largest picture saved at a chosen size: each side, and all its pixels (a
  // 20-megapixel PNG takes about a second to draw and write).
  static constexpr int LargestImageSide = 8000;
  static constexpr qint64 LargestImagePixels = 20'000'000;
  // Saves as the user asked in the chart's menu, under a busy cursor: a name without an
  // offered extension or a size beyond the limits is refused. Returns what the user is
  // told, empty when the picture was saved. The picture is the chart's own (below).
  QString SaveImageAsked(const QString& path, QSize size = {});
  // What the chart's menu saves: by default the chart alone under its axes; a view gives
  // the charts that belong together and the title that tells what they show.
  void SetPicture(std::function<ChartPicture()> picture) { picture_ = std::move(picture); }
  ChartPicture Picture() const;
  // Lines the chart's menu offers beside saving it: a text and what it does.
  void AddMenuAction(const QString& text, std::function<void()> action);
  // Why a picture of that size is not drawn, empty when it is.
  static QString SizeRefusal(QSize size);

  // The widget the mouse events of the plot go to: a filter installed on it sees them
  // before the chart does, and a press it keeps starts no zoom rectangle.
  QWidget* MouseSurface() const;
  // The plot area inside the chart, in the chart's coordinates, as last laid out.
  QRect PlotArea() const;
  // Fixed room left and right of the plot area, in pixels (a negative side: as the axes
  // need), so that charts one above the other put the same x at the same pixel.
  void SetPlotSides(int left, int right);
  // The room left of the plot area that the left axis needs, its labels and title, as last laid out.
  int LeftAxisRoom() const;

  // Called when the limits of automatic axes may have to follow new data.
  void DataChanged() { ranges_stale_ = true; }
  void UpdateAutomaticRanges() const;

 signals:
  void MouseMoved(int x, int y);
  void MouseLeft();
  void MousePressed(Qt::MouseButton button, int x, int y);
  // The bottom axis's limits changed: automatic scaling, a zoom, a scroll, set by hand.
  void BottomLimitsChanged(double minimum, double maximum);
  // A redraw is done (and the plot area laid out for it).
  void Replotted();
  void Clicked();
  void DoubleClicked();
  void FocusEntered();
  void FocusLeft();
  // handled starts false; a receiver that sets it keeps the component's own wheel zoom away.
  void Wheel(int delta, QPoint global_position, Qt::KeyboardModifiers modifiers, bool* handled);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool HandleMouse(QEvent* event);
  // The context menu of a right click that scrolled nothing: saving the chart as an image.
  void ShowImageMenu(QPoint global_position);
  friend bool SaveChartsImage(const QString& path, const ChartPicture& picture, QSize size);
  void WidenForMarkers(QCPAxis* axis) const;
  static bool ScaleToData(QCPAxis* axis);
  // Pixels between an edge marker and the end of the axis: half a marker and this.
  static constexpr int MarkerClearance = 2;
  // Pixels kept free beyond the outermost points, 0 without markers.
  int MarkerMargin() const;
  // As many value ticks as leave room between their labels.
  void FitValueTicks() const;
  // The row of the plot layout that holds the plot area.
  int PlotRow() const;
  void Scroll(QPoint to);
  void MarkAxesManual();

  QCustomPlot* plot_;
  std::unique_ptr<ChartAxis> left_, bottom_, top_;
  std::vector<std::unique_ptr<ChartSeries>> series_;
  class TitleElement;
  QObject* title_ = nullptr;
  QObject* colour_scale_ = nullptr;
  QObject* note_ = nullptr;
  QObject* legend_row_ = nullptr;  // the row below the plot that holds the legend there
  std::function<ChartPicture()> picture_;
  std::vector<std::pair<QString, std::function<void()>>> menu_actions_;
  bool title_visible_ = false;
  QColor colour_;
  mutable bool ranges_stale_ = true;
  // Scrolling with the right button: where it started and the limits then.
  bool scrolling_ = false;
  QPoint scroll_start_;
  bool scrolled_ = false;
  double scroll_limits_[4] = {};
  bool pressed_inside_ = false;
};

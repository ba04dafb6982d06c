#include "views/survey_view.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart/guarded.h"
#include "processing/format_fixed.h"

namespace {

constexpr int MarkerHalfSize = 3;
constexpr int PickReach = MarkerHalfSize + 3;  // pixels from a marker's centre

double ValueOf(const PseudosectionPoint& point, SurveyView::Quantity quantity) {
  switch (quantity) {
    case SurveyView::Quantity::Rhoa: return point.rhoa;
    case SurveyView::Quantity::Chargeability: return point.chargeability;
    default: return point.plotted_error_pct;
  }
}

QString ScaleLabel(SurveyView::Quantity quantity) {
  switch (quantity) {
    case SurveyView::Quantity::Rhoa: return SurveyView::tr("ρк, Ом·м");
    case SurveyView::Quantity::Chargeability: return SurveyView::tr("M, мВ/В");
    default: return SurveyView::tr("Ошибка, %");
  }
}

// A record left out of the line: an empty square in grey, whatever the quantity.
const QColor ExcludedColour(128, 128, 128);
const QColor GroundColour(120, 72, 30);

// The cause a line gives for leaving a record out, in the window's language.
QString CauseText(const std::string& cause) {
  if (cause == "by hand") return SurveyView::tr("вручную");
  if (cause == "electrode") return SurveyView::tr("электрод");
  if (cause == "|K|") return "|K|";
  if (cause == "negative ρa") return SurveyView::tr("ρк < 0");
  if (cause == "stacking error") return SurveyView::tr("ошибка накопления");
  if (cause == "reciprocal error") return SurveyView::tr("взаимная ошибка");
  if (cause == "chargeability") return "M";
  return QString::fromStdString(cause);
}

bool SamePlaces(const std::vector<PseudosectionPoint>& now, const std::vector<PseudosectionPoint>& next) {
  return now.size() == next.size() &&
         std::equal(now.begin(), now.end(), next.begin(), [](const auto& p, const auto& q) {
           return p.x == q.x && p.depth == q.depth && p.file == q.file && p.record == q.record;
         });
}

// A colour on the logarithmic bar needs a value above zero.
bool Colourable(double value) { return std::isfinite(value) && value > 0; }

constexpr int LargestHalfSize = 4;

// Markers as large as the places allow, up to a limit, with a pixel between the
// squares of neighbouring places (one place twice, a repeated record, shares its square).
// Two squares of side s overlap when they are less than s apart in both directions.
int FittingHalfSize(std::vector<QPointF> pixels) {
  std::sort(pixels.begin(), pixels.end(), [](QPointF p, QPointF q) { return p.x() < q.x(); });
  constexpr double Enough = 2 * LargestHalfSize + 2, Smallest = 4;
  double nearest = Enough;
  for (size_t i = 1; i < pixels.size() && nearest >= Smallest; ++i)
    for (size_t j = i; j-- > 0 && pixels[i].x() - pixels[j].x() < nearest;) {
      const double apart = std::max(pixels[i].x() - pixels[j].x(), std::abs(pixels[i].y() - pixels[j].y()));
      if (apart >= 0.5) nearest = std::min(nearest, apart);
    }
  return std::clamp(static_cast<int>(std::floor((nearest - 2) / 2)), 1, LargestHalfSize);
}

}  // namespace

SurveyView::SurveyView(QWidget* parent) : QWidget(parent) {
  setObjectName("SurveyView");
  setWindowTitle(tr("Разрез"));
  resize(900, 500);
  quantity_ = new QComboBox(this);
  quantity_->setObjectName("QuantityBox");
  quantity_->addItems({tr("ρк, Ом·м"), tr("Ошибка, %"), tr("Ошибка, классы"), tr("M, мВ/В")});
  info_ = new QLabel(this);
  info_->setObjectName("RecordInfo");
  // A long text wraps instead of widening the window.
  info_->setWordWrap(true);
  info_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  // Room for two lines from the start: a record's text that wraps moves no chart.
  info_->setFixedHeight(2 * info_->fontMetrics().lineSpacing() + 2);
  section_ = new Chart(this);
  section_->setObjectName("Pseudosection");
  section_->LeftAxis().SetReversed(true);
  section_->LeftAxis().SetTitle(tr("Глубина, м"));
  section_->BottomAxis().SetTitle(tr("x, м"));
  coloured_ = &section_->AddSeries(
      {.kind = Chart::SeriesKind::Points, .marker_half_size = MarkerHalfSize, .marker_outline = false});
  empty_ = &section_->AddSeries(
      {.kind = Chart::SeriesKind::Points, .colour = Qt::black, .marker_half_size = MarkerHalfSize, .hollow = true});
  excluded_ = &section_->AddSeries({.kind = Chart::SeriesKind::Points,
                                    .colour = ExcludedColour,
                                    .marker_half_size = MarkerHalfSize,
                                    .hollow = true});
  band_ = new QRubberBand(QRubberBand::Rectangle, section_->MouseSurface());

  ground_ = new Chart(this);
  ground_->setObjectName("GroundChart");
  ground_->setMinimumHeight(90);
  ground_->LeftAxis().SetTitle(tr("z, м"));
  ground_->BottomAxis().SetLabels(false);
  ground_line_ = &ground_->AddSeries({.kind = Chart::SeriesKind::Line, .colour = GroundColour, .pen_width = 2});
  electrodes_ = &ground_->AddSeries({.kind = Chart::SeriesKind::Points,
                                     .colour = QColor(30, 30, 30),
                                     .marker_half_size = 2,
                                     .marker_outline = false});
  ground_->hide();

  errors_ = new Chart(this);
  errors_->setObjectName("ErrorModelChart");
  errors_->setMinimumHeight(140);  // room for a title, two value labels and the axis below
  errors_->BottomAxis().SetTitle(tr("|R|, Ом"));
  errors_->LeftAxis().SetTitle(tr("|ΔR|, Ом"));
  differences_ = &errors_->AddSeries({.kind = Chart::SeriesKind::Points,
                                      .colour = QColor(40, 90, 200),
                                      .marker_half_size = 2,
                                      .marker_outline = false});
  model_line_ = &errors_->AddSeries({.kind = Chart::SeriesKind::Line, .colour = Qt::red, .pen_width = 2});
  errors_->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(quantity_);
  top->addWidget(info_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  // The ground a quarter of the section's height, the error chart a third.
  layout->addWidget(ground_, 3);
  layout->addWidget(section_, 12);
  layout->addWidget(errors_, 4);

  section_->installEventFilter(this);
  // Installed after the chart's own filter, this one sees the mouse first.
  section_->MouseSurface()->installEventFilter(this);
  FollowSection();
  // Another quantity colours the same places: the zoom stays.
  connect(quantity_, &QComboBox::currentIndexChanged, this, [this] {
    Guarded([this] {
      Fill();
      FitMarkers();
    });
  });
  connect(section_, &Chart::MouseMoved, this, [this](int x, int y) { Guarded([&] { Hover(x, y); }); });
  connect(section_, &Chart::MousePressed, this, [this](Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton) return;
    Guarded([&] {
      const int i = PointAt({x, y});
      if (i >= 0) emit RecordPicked(points_[size_t(i)].file, points_[size_t(i)].record);
    });
  });
}

void SurveyView::ShowPoints(std::vector<PseudosectionPoint> points) {
  if (!points.empty() && SamePlaces(points_, points)) {
    points_ = std::move(points);
    return Fill();
  }
  points_ = std::move(points);
  info_->clear();
  hovered_ = -1;
  Redraw();
}

void SurveyView::SetLeftOut(int file, int record, const std::string& cause) {
  bool changed = false;
  for (PseudosectionPoint& point : points_)
    if (point.file == file && point.record == record && point.left_out != cause) point.left_out = cause, changed = true;
  if (changed) Fill();
}

void SurveyView::SetSurveyNames(QStringList names) { names_ = std::move(names); }

void SurveyView::SetExcluding(bool excluding) {
  excluding_ = excluding;
  if (!excluding) ctrl_pressed_ = dragging_ = false, band_->hide();
}

void SurveyView::SetCaption(const QString& caption) { setWindowTitle(caption); }

void SurveyView::SetQuantity(Quantity quantity) { quantity_->setCurrentIndex(static_cast<int>(quantity)); }

SurveyView::Quantity SurveyView::CurrentQuantity() const { return static_cast<Quantity>(quantity_->currentIndex()); }

void SurveyView::Redraw() {
  Fill();
  section_->LeftAxis().SetAutomatic(true);
  section_->BottomAxis().SetAutomatic(true);
  FitMarkers();
}

void SurveyView::Fill() {
  const Quantity quantity = CurrentQuantity();
  coloured_->Clear();
  empty_->Clear();
  excluded_->Clear();
  double low = INFINITY, high = -INFINITY;
  for (const PseudosectionPoint& point : points_) {
    const double value = ValueOf(point, quantity);
    if (point.left_out.empty() && Colourable(value)) low = std::min(low, value), high = std::max(high, value);
  }
  if (quantity == Quantity::ErrorClasses || !(low <= high)) {
    section_->HideColourScale();
  } else {
    if (low == high) low /= 2, high *= 2;
    section_->SetColourScale(low, high, true, ScaleLabel(quantity));
  }
  // By series, then at once: one by one, twenty thousand points take longer than drawing them.
  std::vector<double> xs, ys, values, class_xs, class_ys;
  std::vector<QRgb> class_colours;
  for (const PseudosectionPoint& point : points_) {
    const double value = ValueOf(point, quantity);
    if (!point.left_out.empty()) {
      excluded_->Append(point.x, point.depth);
    } else if (quantity == Quantity::ErrorClasses && std::isfinite(point.error_pct)) {
      class_xs.push_back(point.x), class_ys.push_back(point.depth);
      class_colours.push_back(ToolkitColour(ClassColour(point.error_class)).rgba());
    } else if (Colourable(value)) {
      xs.push_back(point.x), ys.push_back(point.depth), values.push_back(value);
    } else {
      empty_->Append(point.x, point.depth);
    }
  }
  coloured_->AppendColoured(class_xs, class_ys, class_colours);
  coloured_->AppendColoured(xs, ys, section_->ScaleColours(values));
  if (hovered_ >= 0 && size_t(hovered_) < points_.size()) info_->setText(RecordText(points_[size_t(hovered_)]));
  section_->Replot();
}

void SurveyView::FitMarkers() {
  section_->DataChanged();
  std::vector<QPointF> pixels;
  pixels.reserve(points_.size());
  for (const PseudosectionPoint& point : points_)
    pixels.emplace_back(section_->BottomAxis().PixelAtValue(point.x), section_->LeftAxis().PixelAtValue(point.depth));
  const int half_size = FittingHalfSize(std::move(pixels));
  for (ChartSeries* series : {coloured_, empty_, excluded_}) series->SetMarkerHalfSize(half_size);
  section_->Replot();
}

bool SurveyView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == section_ && event->type() == QEvent::Resize) Guarded([this] { FitMarkers(); });
  if (watched == section_->MouseSurface()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::MouseButtonRelease: {
        bool taken = false;
        Guarded([&] { taken = ExcludingMouse(event); });
        if (taken) return true;
        break;
      }
      case QEvent::Leave: QToolTip::hideText(); break;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool SurveyView::ExcludingMouse(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint position = mouse->position().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (!excluding_ || mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ControlModifier))
        return ctrl_pressed_;
      ctrl_pressed_ = true;
      dragging_ = false;
      press_ = position;
      return true;
    case QEvent::MouseMove:
      if (!ctrl_pressed_) return false;
      Hover(position.x(), position.y());
      dragging_ = dragging_ || (position - press_).manhattanLength() > 3;
      if (dragging_) {
        band_->setGeometry(QRect(press_, position).normalized());
        band_->show();
      }
      return true;
    case QEvent::MouseButtonRelease: {
      if (!ctrl_pressed_) return false;
      if (mouse->button() != Qt::LeftButton) return true;
      ctrl_pressed_ = false;
      band_->hide();
      std::vector<std::pair<int, int>> records;
      if (dragging_) {
        const QRectF area = QRectF(QRect(press_, position).normalized()) & QRectF(section_->PlotArea());
        for (const PseudosectionPoint& point : points_)
          if (area.contains(CentreOf(point))) records.emplace_back(point.file, point.record);
      } else if (const int i = PointAt(position); i >= 0) {
        // The marker toggles as one: records drawn on the same square (repeats,
        // reciprocals) all go out while any of them is in, and all come back otherwise.
        const QPointF centre = CentreOf(points_[size_t(i)]);
        std::vector<const PseudosectionPoint*> stacked;
        for (const PseudosectionPoint& point : points_) {
          const QPointF d = CentreOf(point) - centre;
          if (std::fabs(d.x()) < 0.5 && std::fabs(d.y()) < 0.5) stacked.push_back(&point);
        }
        const bool any_kept = std::ranges::any_of(stacked, [](const auto* p) { return p->left_out.empty(); });
        for (const PseudosectionPoint* point : stacked)
          if (!any_kept || point->left_out.empty()) records.emplace_back(point->file, point->record);
      }
      dragging_ = false;
      if (!records.empty()) emit RecordsToggled(std::move(records));
      return true;
    }
    default: return false;
  }
}

// The ground's x limits are the section's, and its plot area stands exactly above the
// section's, so that a record's marker is under its electrodes.
void SurveyView::FollowSection() {
  connect(section_, &Chart::BottomLimitsChanged, this, [this](double minimum, double maximum) {
    if (following_) return;
    following_ = true;
    ground_->BottomAxis().SetLimits(minimum, maximum);
    ground_->Replot();
    following_ = false;
  });
  // A zoom or a scroll on the ground moves the section along.
  connect(ground_, &Chart::BottomLimitsChanged, this, [this](double minimum, double maximum) {
    if (following_) return;
    following_ = true;
    section_->BottomAxis().SetLimits(minimum, maximum);
    section_->Replot();
    following_ = false;
  });
  connect(section_, &Chart::Replotted, this, [this] { AlignGround(); });
  connect(ground_, &Chart::Replotted, this, [this] { AlignGround(); });
}

void SurveyView::ShowGround(std::vector<QPointF> ground, std::vector<QPointF> electrodes) {
  ground_line_->Clear();
  electrodes_->Clear();
  for (QPointF point : ground) ground_line_->Append(point.x(), point.y());
  for (QPointF point : electrodes) electrodes_->Append(point.x(), point.y());
  ground_->setVisible(!ground.empty());
  if (ground.empty()) return AlignGround();
  ground_->LeftAxis().SetAutomatic(true);
  following_ = true;
  ground_->BottomAxis().SetLimits(section_->BottomAxis().Minimum(), section_->BottomAxis().Maximum());
  following_ = false;
  AlignGround();
  ground_->Replot();
}

// Both plot areas begin where the wider of the two left axes needs; the ground's ends
// where the section's does, before its colour scale.
void SurveyView::AlignGround() {
  if (ground_->isHidden()) return section_->SetPlotSides(-1, -1);
  const int left = std::max(section_->LeftAxisRoom(), ground_->LeftAxisRoom());
  section_->SetPlotSides(left, -1);
  const QRect area = section_->PlotArea();
  ground_->SetPlotSides(left, section_->width() - area.left() - area.width());
}

void SurveyView::ShowReciprocals(const std::vector<ReciprocalPair>& pairs, const ErrorModel& model) {
  differences_->Clear();
  model_line_->Clear();
  errors_->setVisible(!pairs.empty());
  double low = INFINITY, high = 0;
  for (const ReciprocalPair& pair : pairs) {
    const double size = (std::fabs(pair.r_normal) + std::fabs(pair.r_reciprocal)) / 2;
    if (!std::isfinite(size)) continue;
    differences_->Append(size, std::fabs(pair.r_reciprocal - pair.r_normal));
    low = std::min(low, size), high = std::max(high, size);
  }
  if (low <= high) {
    model_line_->Append(low, model.ErrorOf(low));
    model_line_->Append(high, model.ErrorOf(high));
  }
  const QString slope = QString(model.b < 0 ? "− " : "+ ") + QString::fromStdString(FormatFixed(std::fabs(model.b), 5));
  errors_->SetTitle(
      tr("|ΔR| = %1 %2·|R|, пар %3").arg(QString::fromStdString(FormatFixed(model.a, 6))).arg(slope).arg(pairs.size()));
  errors_->SetTitleVisible(!pairs.empty());
  errors_->LeftAxis().SetAutomatic(true);
  errors_->BottomAxis().SetAutomatic(true);
  errors_->Replot();
}

QPointF SurveyView::CentreOf(const PseudosectionPoint& point) const {
  return {section_->BottomAxis().PixelAtValue(point.x), section_->LeftAxis().PixelAtValue(point.depth)};
}

int SurveyView::PointAt(QPoint pixel) const {
  int best = -1;
  double nearest = PickReach * PickReach + 1;
  for (size_t i = 0; i < points_.size(); ++i) {
    const QPointF d = CentreOf(points_[i]) - QPointF(pixel);
    if (d.x() * d.x() + d.y() * d.y() < nearest) nearest = d.x() * d.x() + d.y() * d.y(), best = int(i);
  }
  return best;
}

int SurveyView::RecordAt(QPoint pixel) {
  const int i = PointAt(pixel);
  return i < 0 ? 0 : points_[size_t(i)].record;
}

QString SurveyView::RecordText(const PseudosectionPoint& point) const {
  QString text = tr("запись %1: A=%2 B=%3 M=%4 N=%5  x=%6 м  z=%7 м  ρк=%8 Ом·м  ошибка=%9%")
                     .arg(point.record)
                     .arg(point.a)
                     .arg(point.b)
                     .arg(point.m)
                     .arg(point.n)
                     .arg(QString::fromStdString(FormatFixed(point.x, 2)))
                     .arg(QString::fromStdString(FormatFixed(point.depth, 2)))
                     .arg(QString::fromStdString(FormatFixed(point.rhoa, 2)))
                     // Three significant digits: a good record's error is far below 0.01 %.
                     .arg(QString::number(point.error_pct, 'g', 3));
  if (std::isfinite(point.chargeability))
    text += tr("  M=%1 мВ/В").arg(QString::fromStdString(FormatFixed(point.chargeability, 3)));
  if (point.file >= 0 && point.file < names_.size()) text = names_[point.file] + ", " + text;
  if (!point.left_out.empty()) text += "  " + tr("исключена: %1").arg(CauseText(point.left_out));
  return text;
}

void SurveyView::Hover(int x, int y) {
  hovered_ = PointAt({x, y});
  if (hovered_ < 0) {
    QToolTip::hideText();
    return info_->clear();
  }
  const PseudosectionPoint& point = points_[size_t(hovered_)];
  const QString text = RecordText(point);
  info_->setText(text);
  QWidget* surface = section_->MouseSurface();
  const QPoint centre = CentreOf(point).toPoint();
  QToolTip::showText(surface->mapToGlobal(QPoint(x, y)), text, surface,
                     QRect(centre - QPoint(PickReach, PickReach), QSize(2 * PickReach + 1, 2 * PickReach + 1)));
}

#include "main/survey_view.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "main/guarded.h"
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
  info_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  section_ = new Chart(this);
  section_->setObjectName("Pseudosection");
  section_->LeftAxis().SetReversed(true);
  section_->LeftAxis().SetTitle(tr("Глубина, м"));
  section_->BottomAxis().SetTitle(tr("x, м"));
  coloured_ = &section_->AddSeries(
      {.kind = Chart::SeriesKind::Points, .marker_half_size = MarkerHalfSize, .marker_outline = false});
  empty_ =
      &section_->AddSeries({.kind = Chart::SeriesKind::Points, .marker_half_size = MarkerHalfSize, .hollow = true});

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
  layout->addWidget(section_, 3);
  layout->addWidget(errors_, 1);

  section_->installEventFilter(this);
  connect(quantity_, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { Redraw(); }); });
  connect(section_, &Chart::MouseMoved, this, [this](int x, int y) { Guarded([&] { Hover(x, y); }); });
  connect(section_, &Chart::MousePressed, this, [this](Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton) return;
    Guarded([&] {
      if (int k = RecordAt({x, y})) emit RecordPicked(k);
    });
  });
}

void SurveyView::ShowPoints(std::vector<PseudosectionPoint> points) {
  points_ = std::move(points);
  info_->clear();
  Redraw();
}

void SurveyView::SetQuantity(Quantity quantity) { quantity_->setCurrentIndex(static_cast<int>(quantity)); }

SurveyView::Quantity SurveyView::CurrentQuantity() const { return static_cast<Quantity>(quantity_->currentIndex()); }

void SurveyView::Redraw() {
  const Quantity quantity = CurrentQuantity();
  coloured_->Clear();
  empty_->Clear();
  double low = INFINITY, high = -INFINITY;
  for (const PseudosectionPoint& point : points_) {
    const double value = ValueOf(point, quantity);
    if (Colourable(value)) low = std::min(low, value), high = std::max(high, value);
  }
  if (quantity == Quantity::ErrorClasses || !(low <= high)) {
    section_->HideColourScale();
  } else {
    if (low == high) low /= 2, high *= 2;
    section_->SetColourScale(low, high, true, ScaleLabel(quantity));
  }
  for (const PseudosectionPoint& point : points_) {
    const double value = ValueOf(point, quantity);
    if (quantity == Quantity::ErrorClasses && std::isfinite(point.error_pct))
      coloured_->Append(point.x, point.depth, ToolkitColour(ClassColour(point.error_class)));
    else if (Colourable(value))
      coloured_->Append(point.x, point.depth, section_->ScaleColour(value));
    else
      empty_->Append(point.x, point.depth);
  }
  section_->LeftAxis().SetAutomatic(true);
  section_->BottomAxis().SetAutomatic(true);
  FitMarkers();
}

void SurveyView::FitMarkers() {
  section_->DataChanged();
  std::vector<QPointF> pixels;
  pixels.reserve(points_.size());
  for (const PseudosectionPoint& point : points_)
    pixels.emplace_back(section_->BottomAxis().PixelAtValue(point.x), section_->LeftAxis().PixelAtValue(point.depth));
  const int half_size = FittingHalfSize(std::move(pixels));
  coloured_->SetMarkerHalfSize(half_size);
  empty_->SetMarkerHalfSize(half_size);
  section_->Replot();
}

bool SurveyView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == section_ && event->type() == QEvent::Resize) Guarded([this] { FitMarkers(); });
  return QWidget::eventFilter(watched, event);
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

int SurveyView::RecordAt(QPoint pixel) {
  int best = 0;
  double nearest = PickReach * PickReach + 1;
  for (const PseudosectionPoint& point : points_) {
    const double dx = section_->BottomAxis().PixelAtValue(point.x) - pixel.x();
    const double dy = section_->LeftAxis().PixelAtValue(point.depth) - pixel.y();
    if (dx * dx + dy * dy < nearest) nearest = dx * dx + dy * dy, best = point.record;
  }
  return best;
}

void SurveyView::Hover(int x, int y) {
  const int k = RecordAt({x, y});
  if (k == 0) return info_->clear();
  for (const PseudosectionPoint& point : points_) {
    if (point.record != k) continue;
    QString text = tr("запись %1: A=%2 B=%3 M=%4 N=%5  x=%6 м  z=%7 м  ρк=%8 Ом·м  ошибка=%9%")
                       .arg(k)
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
    info_->setText(text);
  }
}

#include "views/survey_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QRubberBand>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

#include "analysis/quantile.h"
#include "chart/guarded.h"
#include "chart/message_sink.h"
#include "output/section_table.h"
#include "processing/format_fixed.h"

namespace {

constexpr int MarkerHalfSize = 3;
constexpr int PickReach = MarkerHalfSize + 3;  // pixels from a marker's centre

double ValueOf(const PseudosectionPoint& point, SurveyView::Quantity quantity) {
  switch (quantity) {
    case SurveyView::Quantity::Rhoa: return point.rhoa;
    case SurveyView::Quantity::Chargeability: return point.chargeability;
    case SurveyView::Quantity::Tau: return point.tau_ms;
    case SurveyView::Quantity::DecayC: return point.decay_c;
    case SurveyView::Quantity::Misfit: return point.decay_misfit;
    default: return point.plotted_error_pct;
  }
}

QString ScaleLabel(SurveyView::Quantity quantity) {
  switch (quantity) {
    case SurveyView::Quantity::Rhoa: return SurveyView::tr("ρк, Ом·м");
    case SurveyView::Quantity::Chargeability: return SurveyView::tr("M, мВ/В");
    case SurveyView::Quantity::ErrorClasses: return SurveyView::tr("Ошибка, классы");
    case SurveyView::Quantity::Tau: return SurveyView::tr("τ спада, мс");
    case SurveyView::Quantity::DecayC: return SurveyView::tr("c спада");
    case SurveyView::Quantity::Misfit: return SurveyView::tr("Невязка спада, χ²");
    default: return SurveyView::tr("Ошибка, %");
  }
}

// The index of a quantity's colour scale; the classes have none.
int ScaleIndex(SurveyView::Quantity quantity) {
  switch (quantity) {
    case SurveyView::Quantity::Rhoa: return 0;
    case SurveyView::Quantity::Error: return 1;
    case SurveyView::Quantity::Chargeability: return 2;
    case SurveyView::Quantity::Tau: return 3;
    case SurveyView::Quantity::DecayC: return 4;
    case SurveyView::Quantity::Misfit: return 5;
    default: return -1;
  }
}

// A record left out of the line: an empty square in grey, whatever the quantity.
const QColor ExcludedColour(128, 128, 128);
const QColor GroundColour(120, 72, 30);
const QColor NotPositiveColour(40, 40, 40);

// The cause a line gives for leaving a record out, in the window's language.
QString CauseText(const std::string& cause) {
  if (cause == "by hand") return SurveyView::tr("вручную");
  if (cause == "electrode") return SurveyView::tr("электрод");
  if (cause == "|K|") return "|K|";
  if (cause == "negative ρa") return SurveyView::tr("ρк < 0");
  if (cause == "stacking error") return SurveyView::tr("ошибка накопления");
  if (cause == "reciprocal error") return SurveyView::tr("взаимная ошибка");
  if (cause == "chargeability") return "M";
  if (cause == "decay misfit") return SurveyView::tr("невязка спада");
  if (cause == "decay not monotone") return SurveyView::tr("спад немонотонный");
  return QString::fromStdString(cause);
}

QString ArrangementText(const QString& arrangement) {
  if (arrangement == "dipole-dipole") return SurveyView::tr("диполь-диполь");
  if (arrangement == "Wenner") return SurveyView::tr("Веннер");
  if (arrangement == "Schlumberger") return SurveyView::tr("Шлюмберже");
  if (arrangement == "gradient") return SurveyView::tr("градиент");
  if (arrangement == "pole-dipole") return SurveyView::tr("поль-диполь");
  if (arrangement == "pole-pole") return SurveyView::tr("поль-поль");
  if (arrangement == "mixed") return SurveyView::tr("смешанная установка");
  return arrangement;
}

bool SamePlaces(const std::vector<PseudosectionPoint>& now, const std::vector<PseudosectionPoint>& next) {
  return now.size() == next.size() &&
         std::equal(now.begin(), now.end(), next.begin(), [](const auto& p, const auto& q) {
           return p.x == q.x && p.depth == q.depth && p.file == q.file && p.record == q.record &&
                  (p.ground_z == q.ground_z || (std::isnan(p.ground_z) && std::isnan(q.ground_z)));
         });
}

constexpr int LargestHalfSize = 4;

// Markers as large as the places allow, up to a limit, with a pixel between the
// squares of neighbouring places. Two squares of side s overlap when they are less than
// s apart in both directions.
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

// Places closer than a tenth of a millimetre are one: the same quadrupole measured again.
std::pair<long long, long long> PlaceKey(double x, double depth) {
  return {std::llround(x * 1e4), std::llround(depth * 1e4)};
}

}  // namespace

const char* SurveyView::ScaleKey(Quantity quantity) {
  switch (quantity) {
    case Quantity::Rhoa: return "rhoa";
    case Quantity::Error: return "error";
    case Quantity::Chargeability: return "m";
    case Quantity::Tau: return "tau";
    case Quantity::DecayC: return "c";
    case Quantity::Misfit: return "misfit";
    default: return nullptr;
  }
}

bool SurveyView::NeedsDecayFit(Quantity quantity) {
  return quantity == Quantity::Tau || quantity == Quantity::DecayC || quantity == Quantity::Misfit;
}

SurveyView::SurveyView(QWidget* parent) : QWidget(parent) {
  setObjectName("SurveyView");
  setWindowTitle(tr("Разрез"));
  caption_ = windowTitle();
  resize(900, 500);
  // ρa and its error span decades; M may be negative, and diverges about zero.
  choices_[0].logarithmic = choices_[1].logarithmic = true;
  choices_[2].logarithmic = false;
  // τ spans decades, as the misfit does from a clean decay to a faulty one; c lies
  // between 0 and 1 whatever the survey, so its colours mean the same in every one.
  choices_[3].logarithmic = choices_[5].logarithmic = true;
  choices_[4] = {.fixed = true, .low = 0, .high = 1, .logarithmic = false};
  quantity_ = new QComboBox(this);
  quantity_->setObjectName("QuantityBox");
  quantity_->addItems({tr("ρк, Ом·м"), tr("Ошибка, %"), tr("Ошибка, классы"), tr("M, мВ/В"), tr("τ спада, мс"),
                       tr("c спада"), tr("Невязка спада, χ²")});
  scale_ = new ScaleControl(this);
  scale_->setObjectName("ScaleControl");
  elevation_ = new QCheckBox(tr("По высоте"), this);
  elevation_->setObjectName("ElevationBox");
  elevation_->setToolTip(tr("Маркеры на высоте рельефа минус псевдоглубина"));
  elevation_->hide();
  menu_ = new QToolButton(this);
  menu_->setObjectName("SurveyViewMenu");
  menu_->setText("≡");
  menu_->setToolTip(tr("Меню разреза"));
  menu_->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(menu_);
  menu->addAction(tr("Показать всё (Home)"), this, [this] { Guarded([this] { ShowAll(); }); });
  menu->addAction(tr("Сохранить картинку…"), this, [this] { Guarded([this] { AskSavePicture(); }); });
  menu->addAction(tr("Сохранить точки (CSV)…"), this, [this] { Guarded([this] { AskSavePoints(); }); });
  menu_->setMenu(menu);
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
  section_->LeftAxis().SetTitle(tr("Псевдоглубина, м"));
  section_->BottomAxis().SetTitle(tr("x, м"));
  coloured_ = &section_->AddSeries(
      {.kind = Chart::SeriesKind::Points, .marker_half_size = MarkerHalfSize, .marker_outline = false});
  empty_ = &section_->AddSeries(
      {.kind = Chart::SeriesKind::Points, .colour = Qt::black, .marker_half_size = MarkerHalfSize, .hollow = true});
  excluded_ = &section_->AddSeries({.kind = Chart::SeriesKind::Points,
                                    .colour = ExcludedColour,
                                    .marker_half_size = MarkerHalfSize,
                                    .hollow = true});
  not_positive_ = &section_->AddSeries({.kind = Chart::SeriesKind::Points,
                                        .colour = NotPositiveColour,
                                        .marker_half_size = MarkerHalfSize,
                                        .marker_outline = false,
                                        .marker = Chart::Marker::Triangle});
  // Cut cleanly at the section's ends, where the topography goes on beyond the records.
  section_ground_ = &section_->AddSeries(
      {.kind = Chart::SeriesKind::FastLine, .colour = GroundColour, .pen_width = 2, .scales_bottom_axis = false});
  section_->SetPicture([this] { return Picture(); });
  section_->AddMenuAction(tr("Показать всё (Home)"), [this] { Guarded([this] { ShowAll(); }); });
  section_->AddMenuAction(tr("Сохранить точки (CSV)…"), [this] { Guarded([this] { AskSavePoints(); }); });
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
  ground_->SetPicture([this] { return Picture(); });
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
  top->addWidget(scale_);
  top->addWidget(elevation_);
  top->addStretch(1);
  top->addWidget(menu_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(info_);
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
      emit QuantityChosen(CurrentQuantity());
    });
  });
  connect(scale_, &ScaleControl::Chosen, this,
          [this](const ScaleChoice& choice) { Guarded([&] { ChooseScale(choice); }); });
  connect(elevation_, &QCheckBox::toggled, this, [this](bool on) { Guarded([&] { SetElevation(on); }); });
  connect(section_, &Chart::MouseMoved, this, [this](int x, int y) { Guarded([&] { Hover(x, y); }); });
  connect(section_, &Chart::MousePressed, this, [this](Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton) return;
    Guarded([&] {
      const int i = MarkerAt({x, y});
      if (i < 0) return;
      const PseudosectionPoint& first = points_[markers_[size_t(i)].members.front()];
      emit RecordPicked(first.file, first.record);
    });
  });
  connect(section_, &Chart::DoubleClicked, this, [this] { Guarded([this] { ShowAll(); }); });
  for (Chart* chart : {section_, ground_})
    connect(chart, &Chart::Wheel, this, [this, chart](int delta, QPoint at, Qt::KeyboardModifiers, bool* handled) {
      Guarded([&] { Wheel(chart, delta, at, handled); });
    });
}

void SurveyView::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Home) return QWidget::keyPressEvent(event);
  Guarded([this] { ShowAll(); });
}

void SurveyView::ShowPoints(std::vector<PseudosectionPoint> points) {
  if (!points.empty() && !show_whole_ && SamePlaces(points_, points)) {
    points_ = std::move(points);
    return Fill();
  }
  show_whole_ = false;
  points_ = std::move(points);
  Group();
  info_->clear();
  hovered_ = -1;
  Redraw();
}

void SurveyView::Group() {
  markers_.clear();
  std::map<std::pair<long long, long long>, size_t> places;
  for (size_t i = 0; i < points_.size(); ++i) {
    const PseudosectionPoint& point = points_[i];
    const auto [place, added] = places.try_emplace(PlaceKey(point.x, point.depth), markers_.size());
    if (added) markers_.push_back({point.x, point.depth, point.ground_z, {}});
    markers_[place->second].members.push_back(i);
  }
}

void SurveyView::SetLeftOut(int file, int record, const std::string& cause) {
  bool changed = false;
  for (PseudosectionPoint& point : points_)
    if (point.file == file && point.record == record && point.left_out != cause) point.left_out = cause, changed = true;
  if (changed) Fill();
}

void SurveyView::SetSurveyNames(QStringList names) { names_ = std::move(names); }

void SurveyView::SetSubject(const QString& name, const QString& arrangement) {
  if (name != subject_) show_whole_ = true;
  subject_ = name;
  arrangement_ = arrangement;
}

void SurveyView::SetExcluding(bool excluding) {
  excluding_ = excluding;
  if (!excluding) ctrl_pressed_ = dragging_ = false, band_->hide();
}

void SurveyView::SetCaption(const QString& caption) {
  caption_ = caption;
  ShowCaption();
}

// The caption counts the records whose ρa is zero or below while ρa colours the section: a
// log scale has no colour for them.
void SurveyView::ShowCaption() {
  int not_positive = 0;
  if (CurrentQuantity() == Quantity::Rhoa)
    for (const PseudosectionPoint& point : points_)
      not_positive += point.left_out.empty() && std::isfinite(point.rhoa) && point.rhoa <= 0;
  setWindowTitle(not_positive == 0 ? caption_ : tr("%1 — ρк ≤ 0: %2").arg(caption_).arg(not_positive));
}

void SurveyView::SetQuantity(Quantity quantity) { quantity_->setCurrentIndex(static_cast<int>(quantity)); }

SurveyView::Quantity SurveyView::CurrentQuantity() const { return static_cast<Quantity>(quantity_->currentIndex()); }

void SurveyView::SetScaleChoice(Quantity quantity, const ScaleChoice& choice) {
  const int index = ScaleIndex(quantity);
  if (index < 0) return;
  choices_[size_t(index)] = choice;
  if (quantity == CurrentQuantity()) Fill();
}

ScaleChoice SurveyView::ScaleChoiceOf(Quantity quantity) const {
  const int index = ScaleIndex(quantity);
  return index < 0 ? ScaleChoice{} : choices_[size_t(index)];
}

void SurveyView::ChooseScale(const ScaleChoice& choice) {
  const Quantity quantity = CurrentQuantity();
  SetScaleChoice(quantity, choice);
  emit ScaleChosen(quantity, choice);
}

bool SurveyView::Elevated() const { return elevation_->isChecked() && !ground_points_.empty(); }

void SurveyView::SetElevation(bool elevation) {
  if (elevation_->isChecked() != elevation) return elevation_->setChecked(elevation);  // comes back here
  section_ground_->Clear();
  const bool elevated = Elevated();
  if (elevated)
    for (QPointF point : ground_points_) section_ground_->Append(point.x(), point.y());
  section_->LeftAxis().SetReversed(!elevated);
  section_->LeftAxis().SetTitle(elevated ? tr("Высота, м") : tr("Псевдоглубина, м"));
  ground_->setVisible(!ground_points_.empty() && !elevated);
  Redraw();
}

void SurveyView::ShowAll() { Redraw(); }

void SurveyView::Redraw() {
  Fill();
  section_->LeftAxis().SetAutomatic(true);
  section_->BottomAxis().SetAutomatic(true);
  FitMarkers();
  AlignGround();
}

double SurveyView::VerticalOf(const Marker& marker) const {
  return Elevated() ? marker.ground_z - marker.depth : marker.depth;
}

void SurveyView::Fill() {
  const Quantity quantity = CurrentQuantity();
  const int scale_index = ScaleIndex(quantity);
  const ScaleChoice choice = scale_index < 0 ? ScaleChoice{} : choices_[size_t(scale_index)];
  coloured_->Clear();
  empty_->Clear();
  excluded_->Clear();
  not_positive_->Clear();
  // By series, then at once: one by one, twenty thousand points take longer than drawing them.
  std::vector<double> xs, ys, values, class_xs, class_ys;
  std::vector<QRgb> class_colours;
  std::vector<double> kept;
  bool any_value = false, no_value = false;
  for (const Marker& marker : markers_) {
    const double y = VerticalOf(marker);
    if (!std::isfinite(y)) continue;
    // A marker of several records is coloured by those kept: in the error views by the
    // largest error, elsewhere by their median.
    kept.clear();
    bool any_kept = false;
    ErrorClass worst = ErrorClass::Blue;
    bool any_class = false;
    for (size_t i : marker.members) {
      const PseudosectionPoint& point = points_[i];
      any_value = any_value || std::isfinite(point.rhoa) || std::isfinite(point.error_pct);
      if (!point.left_out.empty()) continue;
      any_kept = true;
      if (std::isfinite(point.error_pct)) worst = std::max(worst, point.error_class), any_class = true;
      if (const double value = ValueOf(point, quantity); std::isfinite(value)) kept.push_back(value);
    }
    if (!any_kept) {
      excluded_->Append(marker.x, y);
    } else if (quantity == Quantity::ErrorClasses) {
      if (any_class) {
        class_xs.push_back(marker.x), class_ys.push_back(y);
        class_colours.push_back(ToolkitColour(ClassColour(worst)).rgba());
      } else {
        empty_->Append(marker.x, y), no_value = true;
      }
    } else if (kept.empty()) {
      empty_->Append(marker.x, y), no_value = true;
    } else {
      const double value =
          quantity == Quantity::Error ? *std::max_element(kept.begin(), kept.end()) : Quantile(kept, 0.5);
      if (choice.logarithmic && value <= 0) {
        not_positive_->Append(marker.x, y);
      } else {
        xs.push_back(marker.x), ys.push_back(y), values.push_back(value);
      }
    }
  }
  const ScaleLimits limits = ColourLimits(choice, values);
  if (quantity == Quantity::ErrorClasses || !limits.Valid()) {
    section_->HideColourScale();
  } else {
    section_->SetColourScale(limits.low, limits.high, choice.logarithmic, ScaleLabel(quantity),
                             quantity == Quantity::Chargeability && !choice.logarithmic);
  }
  scale_->setEnabled(scale_index >= 0);
  if (scale_index >= 0) scale_->Show(choice, limits);
  coloured_->AppendColoured(class_xs, class_ys, class_colours);
  coloured_->AppendColoured(xs, ys, section_->ScaleColours(values));

  // Every kind of mark on show is explained below the section.
  std::vector<LegendEntry> legend;
  if (quantity == Quantity::ErrorClasses) {
    const std::pair<ErrorClass, QString> classes[] = {{ErrorClass::Blue, tr("ошибка ≤ 1 %")},
                                                      {ErrorClass::Green, tr("1–5 %")},
                                                      {ErrorClass::Yellow, tr("5–15 %")},
                                                      {ErrorClass::Red, tr("> 15 %")}};
    for (const auto& [error_class, text] : classes)
      legend.push_back({LegendEntry::Look::Square, ToolkitColour(ClassColour(error_class)), text});
  }
  if (no_value) legend.push_back({LegendEntry::Look::Hollow, Qt::black, tr("нет значения")});
  if (excluded_->Count() > 0) legend.push_back({LegendEntry::Look::Hollow, ExcludedColour, tr("исключена")});
  if (not_positive_->Count() > 0)
    legend.push_back({LegendEntry::Look::Triangle, NotPositiveColour,
                      quantity == Quantity::Rhoa            ? tr("ρк ≤ 0")
                      : quantity == Quantity::Chargeability ? tr("M ≤ 0")
                                                            : tr("≤ 0")});
  if (legend.size() != legend_.size() ||
      !std::equal(legend.begin(), legend.end(), legend_.begin(), [](const LegendEntry& a, const LegendEntry& b) {
        return a.text == b.text && a.colour == b.colour && a.look == b.look;
      })) {
    legend_ = legend;
    section_->SetLegend(legend_, Chart::LegendPlace::Below);
  }
  section_->SetNote(!points_.empty() && !any_value ? tr("Значений нет: «Проверить файл» заполнит разрез") : QString());
  ShowCaption();
  if (hovered_ >= 0 && size_t(hovered_) < markers_.size()) info_->setText(MarkerText(markers_[size_t(hovered_)]));
  section_->Replot();
}

void SurveyView::FitMarkers() {
  section_->DataChanged();
  std::vector<QPointF> pixels;
  pixels.reserve(markers_.size());
  for (const Marker& marker : markers_) {
    const QPointF centre = CentreOf(marker);
    if (std::isfinite(centre.y())) pixels.push_back(centre);
  }
  const int half_size = FittingHalfSize(std::move(pixels));
  for (ChartSeries* series : {coloured_, empty_, excluded_, not_positive_}) series->SetMarkerHalfSize(half_size);
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
        for (const Marker& marker : markers_)
          if (area.contains(CentreOf(marker)))
            for (size_t i : marker.members) records.emplace_back(points_[i].file, points_[i].record);
      } else if (const int i = MarkerAt(position); i >= 0) {
        // The marker toggles as one: its records all go out while any of them is in, and
        // all come back otherwise.
        const Marker& marker = markers_[size_t(i)];
        const bool any_kept =
            std::ranges::any_of(marker.members, [&](size_t m) { return points_[m].left_out.empty(); });
        for (size_t m : marker.members)
          if (!any_kept || points_[m].left_out.empty()) records.emplace_back(points_[m].file, points_[m].record);
      }
      dragging_ = false;
      if (!records.empty()) emit RecordsToggled(std::move(records));
      return true;
    }
    default: return false;
  }
}

// The wheel zooms the section about the pointer as it zooms the record charts: turned
// toward the user, in.
void SurveyView::Wheel(Chart* chart, int delta, QPoint global, bool* handled) {
  const QPoint at = chart->MouseSurface()->mapFromGlobal(global);
  for (ChartAxis* axis : {&chart->BottomAxis(), &chart->LeftAxis()}) {
    const double value = axis->ValueAtPixel(axis == &chart->BottomAxis() ? at.x() : at.y());
    const AxisLimits limits = WheelZoomed(axis->Minimum(), axis->Maximum(), value, delta < 0);
    axis->SetLimits(limits.minimum, limits.maximum);
  }
  *handled = true;
  if (chart == section_) FitMarkers();
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
  ground_points_ = std::move(ground);
  elevation_->setVisible(!ground_points_.empty());
  if (ground_points_.empty()) elevation_->setChecked(false);
  ground_->setVisible(!ground_points_.empty() && !Elevated());
  section_ground_->Clear();
  if (Elevated())
    for (QPointF point : ground_points_) section_ground_->Append(point.x(), point.y());
  // The section as wide as the electrodes, so that the ground shows them all.
  double low = NAN, high = NAN;
  for (QPointF point : electrodes) low = std::fmin(low, point.x()), high = std::fmax(high, point.x());
  section_->BottomAxis().SetSpan(low, high);
  if (ground_points_.empty()) return AlignGround();
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

QPointF SurveyView::CentreOf(const Marker& marker) const {
  return {section_->BottomAxis().PixelAtValue(marker.x), section_->LeftAxis().PixelAtValue(VerticalOf(marker))};
}

int SurveyView::MarkerAt(QPoint pixel) const {
  int best = -1;
  double nearest = PickReach * PickReach + 1;
  for (size_t i = 0; i < markers_.size(); ++i) {
    const QPointF d = CentreOf(markers_[i]) - QPointF(pixel);
    if (d.x() * d.x() + d.y() * d.y() < nearest) nearest = d.x() * d.x() + d.y() * d.y(), best = int(i);
  }
  return best;
}

int SurveyView::RecordAt(QPoint pixel) {
  const int i = MarkerAt(pixel);
  return i < 0 ? 0 : points_[markers_[size_t(i)].members.front()].record;
}

QString SurveyView::RecordText(const PseudosectionPoint& point, bool place) const {
  QString text =
      tr("запись %1: A=%2 B=%3 M=%4 N=%5").arg(point.record).arg(point.a).arg(point.b).arg(point.m).arg(point.n);
  if (place)
    text +=
        tr("  x=%1 м  псевдоглубина=%2 м")
            .arg(QString::fromStdString(FormatFixed(point.x, 2)), QString::fromStdString(FormatFixed(point.depth, 2)));
  text += tr("  ρк=%1 Ом·м  ошибка=%2%")
              .arg(QString::fromStdString(FormatFixed(point.rhoa, 2)))
              // Three significant digits: a good record's error is far below 0.01 %.
              .arg(QString::number(point.error_pct, 'g', 3));
  if (std::isfinite(point.chargeability))
    text += tr("  M=%1 мВ/В").arg(QString::fromStdString(FormatFixed(point.chargeability, 3)));
  if (std::isfinite(point.tau_ms))
    text += tr("  τ=%1 мс  c=%2  χ²=%3")
                .arg(QString::number(point.tau_ms, 'g', 3), QString::fromStdString(FormatFixed(point.decay_c, 2)),
                     QString::number(point.decay_misfit, 'g', 3));
  if (point.file >= 0 && point.file < names_.size()) text = names_[point.file] + ", " + text;
  if (!point.left_out.empty()) text += "  " + tr("исключена: %1").arg(CauseText(point.left_out));
  return text;
}

// One record: its line. Several: where they are and how the marker is coloured, then
// a line for each.
QString SurveyView::MarkerText(const Marker& marker) const {
  if (marker.members.size() == 1) return RecordText(points_[marker.members.front()], true);
  const Quantity quantity = CurrentQuantity();
  const QString rule = quantity == Quantity::Error          ? tr("цвет по наибольшей ошибке")
                       : quantity == Quantity::ErrorClasses ? tr("цвет по худшему классу")
                                                            : tr("цвет по медиане");
  QStringList lines{tr("записей в одном месте: %1, x=%2 м  псевдоглубина=%3 м, %4")
                        .arg(marker.members.size())
                        .arg(QString::fromStdString(FormatFixed(marker.x, 2)),
                             QString::fromStdString(FormatFixed(marker.depth, 2)), rule)};
  for (size_t i : marker.members) lines << RecordText(points_[i], false);
  return lines.join('\n');
}

void SurveyView::Hover(int x, int y) {
  hovered_ = MarkerAt({x, y});
  if (hovered_ < 0) {
    QToolTip::hideText();
    return info_->clear();
  }
  const Marker& marker = markers_[size_t(hovered_)];
  const QString text = MarkerText(marker);
  info_->setText(text);
  QWidget* surface = section_->MouseSurface();
  const QPoint centre = CentreOf(marker).toPoint();
  QToolTip::showText(surface->mapToGlobal(QPoint(x, y)), text, surface,
                     QRect(centre - QPoint(PickReach, PickReach), QSize(2 * PickReach + 1, 2 * PickReach + 1)));
}

ChartPicture SurveyView::Picture() {
  ChartPicture picture;
  if (!ground_->isHidden()) picture.charts.push_back(ground_);
  picture.charts.push_back(section_);
  QStringList title;
  if (!subject_.isEmpty()) title << subject_;
  title << ScaleLabel(CurrentQuantity());
  if (!arrangement_.isEmpty()) title << ArrangementText(arrangement_);
  picture.title << title.join(" — ");
  return picture;
}

void SurveyView::SavePoints(const QString& path) const {
  SectionTable table;
  for (const QString& name : names_) table.surveys.push_back(name.toStdString());
  if (names_.isEmpty()) table.surveys.push_back(subject_.toStdString());
  table.points = points_;
  WriteSectionTable(path.toStdString(), table);
}

void SurveyView::AskSavePoints() {
  const QString suggested = QFileInfo(subject_).completeBaseName() + "-points.csv";
  const QString path = save_dialog_
                           ? save_dialog_(this, suggested)
                           : QFileDialog::getSaveFileName(this, QString(), suggested, tr("Таблица CSV (*.csv)"));
  if (!path.isEmpty()) SavePoints(path);
}

void SurveyView::AskSavePicture() {
  const QString suggested = QFileInfo(subject_).completeBaseName() + ".png";
  const QString path =
      save_dialog_ ? save_dialog_(this, suggested)
                   : QFileDialog::getSaveFileName(this, QString(), suggested, "PNG, SVG, PDF (*.png *.svg *.pdf)");
  if (path.isEmpty()) return;
  const QString refused = section_->SaveImageAsked(path);
  if (!refused.isEmpty()) ShowErrorMessage(refused.toStdString());
}

// The file check, the error strip chart and its record marker.

#include <QFileInfo>
#include <QSlider>
#include <cmath>
#include <utility>

#include "analysis/arrangement.h"
#include "analysis/file_check.h"
#include "analysis/pseudosection.h"
#include "main/guarded.h"
#include "main/main_form.h"
#include "main/owned_view.h"
#include "vari.h"

namespace {
constexpr uint32_t MarkerColour = 0xFF00FF;
}

// The error chart follows its records again, whatever a wheel step or a drag did to
// its axes before: at every open, every check and a double click.
void TMainForm::ResetErrorChart() {
  ErSeries->Clear();
  ExcludedErSeries->Clear();
  SeriesPos->Clear();  // the last survey's marker means nothing in this one
  checked_.clear();
  check_stopped_.clear();
  UpdateExcludedOnShow();
  UpdateSurveyView();
  Chart2->SetTitle(tr("Ошибка, %"));
  Chart2->SetTitleVisible(true);
  ScaleToData(Chart2);
  // Without points the axis would keep the last survey's records.
  Chart2->BottomAxis().SetLimits(0, std::max(vari.survey->RecordCount, 1) + 1);
  Chart2->Replot();
}

void TMainForm::Chart2DblClick() { ScaleToData(Chart2); }

// The check runs beside the window; its points are drawn as they come, and a check
// stopped half-way keeps the points it has drawn.
void TMainForm::CheckBClick() {
  if (!vari.FileLoaded || Passes->Running()) return;
  check_stopped_.clear();
  ErSeries->Clear();
  ExcludedErSeries->Clear();
  checked_.clear();
  Chart2->SetTitle(tr("Ошибка, %"));
  Chart2->SetTitleVisible(false);
  ScaleToData(Chart2);
  auto points = std::make_shared<CheckPoints>();
  check_points_ = points;
  const RecordOptions options = CurrentRecordOptions();
  // With the decay view on, the check computes every record's M for the survey view; with
  // the view coloured by the decay's fit, the fit too.
  std::shared_ptr<const IpSettings> ip;
  checked_with_fit_ = SurveyViewWantsFit();
  if (ActiveIp() || checked_with_fit_) {
    IpSettings settings = ip_settings_;
    settings.decay_fit = checked_with_fit_;
    ip = std::make_shared<const IpSettings>(settings);
  }
  checked_gates_ = ip ? GatesFor(*vari.survey, *ip) : std::vector<Gate>{};
  StartPass(
      [points, options, ip](const Survey& survey, const Progress& progress) {
        CheckFile(
            survey, options, [&](const CheckPoint& point) { points->Push(point); }, progress, ip.get());
      },
      {});
}

void TMainForm::DrawCheckPoints() {
  if (!check_points_) return;
  for (const CheckPoint& point : check_points_->Take()) {
    if (ExcludedOnShow(point.record))
      ExcludedErSeries->Append(point.record, point.plotted);
    else
      ErSeries->Append(point.record, point.plotted, ToolkitColour(ClassColour(point.error_class)));
    checked_.push_back(point);
  }
  Chart2->Replot();
}

void TMainForm::SurveyViewBClick() { ShowSurveyView(); }

SurveyView* TMainForm::ShowSurveyView() {
  if (!SurveyWindow) {
    SurveyWindow = new SurveyView(this);
    connect(SurveyWindow, &SurveyView::RecordPicked, this,
            [this](int file, int k) { Guarded([&] { PickLineRecord(file, k); }); });
    connect(SurveyWindow, &SurveyView::RecordsToggled, this, [this](std::vector<std::pair<int, int>> records) {
      Guarded([&] {
        std::vector<RecordRef> refs;
        for (auto [file, k] : records) refs.push_back({file, k});
        ToggleRecords(refs);
      });
    });
    connect(SurveyWindow, &SurveyView::QuantityChosen, this, [this] { Guarded([this] { SurveyQuantityChosen(); }); });
    connect(SurveyWindow, &SurveyView::ScaleChosen, this,
            [this](SurveyView::Quantity quantity, const ScaleChoice& choice) {
              Guarded([&] { KeepScaleChoice(quantity, choice); });
            });
    LoadScaleChoices();
    UpdateSurveyView();
    FeedSurveyViewLine();
  } else {
    UpdateSurveyView();
  }
  ShowOwnedView(SurveyWindow, this, PanelOnScreen(), false);
  return SurveyWindow;
}

// The view follows every open and every check, from the points the core makes.
void TMainForm::UpdateSurveyView() {
  if (!SurveyWindow) return;
  // A line open shows the line's records, whichever of its surveys is on show.
  if (!line_ || !line_->Data()) {
    SurveyWindow->SetSubject(QFileInfo(QString::fromStdString(vari.survey->DataFileName)).fileName(),
                             ArrangementName(ArrangementOf(*vari.survey)));
    // Before a check the view shows where the records of the survey are, without values;
    // after a stopped one, the records it came to, as its caption says.
    SurveyWindow->ShowPoints(checked_.empty() ? PlacesOf(*vari.survey) : PseudosectionOf(*vari.survey, checked_));
    if (!line_)
      SurveyWindow->SetCaption(check_stopped_.isEmpty() ? tr("Разрез") : tr("Разрез") + " — " + check_stopped_);
  }
  const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(MeasuredRecordsOf(*vari.survey, checked_));
  SurveyWindow->ShowReciprocals(pairs, FitErrorModel(pairs));
}

void TMainForm::CheckPoints::Push(const CheckPoint& point) {
  std::lock_guard lock(mutex);
  pending.push_back(point);
}

std::vector<CheckPoint> TMainForm::CheckPoints::Take() {
  std::lock_guard lock(mutex);
  return std::exchange(pending, {});
}

void TMainForm::MoveRecordMarker() {
  if (ErSeries->Count() == 0) return;
  SeriesPos->Clear();
  SeriesPos->Append(TrackBar1->value() + 1, vari.RecordResult.result.ErrorPct, ToolkitColour(MarkerColour));
  Chart2->Replot();
}

void TMainForm::Chart2MouseDown(Qt::MouseButton button, int x, int) {
  if (!vari.FileLoaded || button != Qt::LeftButton) return;
  // The record under the pointer: the axis value narrowed to single precision and
  // rounded half to even.
  float value = static_cast<float>(Chart2->BottomAxis().ValueAtPixel(x));
  if (!std::isfinite(value)) return;
  double k = std::nearbyint(static_cast<double>(value));
  if (k < 1 || k > vari.survey->RecordCount || TrackBar1->value() == static_cast<int>(k) - 1) return;
  TrackBar1->setValue(static_cast<int>(k) - 1);
}

bool TMainForm::SurveyViewWantsFit() const {
  return SurveyWindow && SurveyView::NeedsDecayFit(SurveyWindow->CurrentQuantity());
}

// A line is evaluated again with the fit, as the decay view has it evaluated with M; a
// survey checked without the fit is checked again.
void TMainForm::SurveyQuantityChosen() {
  const bool fit = SurveyViewWantsFit();
  if (line_) {
    line_->SetWantsDecayFit(fit);
    if (line_->NeedsEvaluation()) EvaluateOpenLine();
    return;
  }
  if (fit && !checked_with_fit_ && !checked_.empty() && !Passes->Running()) CheckBClick();
}

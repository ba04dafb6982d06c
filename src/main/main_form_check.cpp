// The file check, the error strip chart and its record marker.

#include <QSlider>
#include <cmath>

#include "main/main_form.h"
#include "output/file_check.h"
#include "vari.h"

namespace {
constexpr uint32_t MarkerColour = 0xFF00FF;
}

// The error chart follows its records again, whatever a wheel step or a drag did to
// its axes before: at every open, every check and a double click.
void TMainForm::ResetErrorChart() {
  ErSeries->Clear();
  Chart2->SetTitleVisible(true);
  ScaleToData(Chart2);
}

void TMainForm::Chart2DblClick() { ScaleToData(Chart2); }

void TMainForm::CheckBClick() {
  if (!vari.FileLoaded) return;
  Progress progress = ShowProgress();
  struct HideAfter {
    TMainForm* form;
    ~HideAfter() {
      form->Chart2->Replot();
      form->HideProgress();
    }
  } hide_after{this};
  ErSeries->Clear();
  Chart2->SetTitleVisible(false);
  ScaleToData(Chart2);
  CheckFile(
      vari, HiddenRecordEvaluator(),
      [this](const CheckPoint& point) {
        ErSeries->Append(point.record, point.plotted, ToolkitColour(ClassColour(point.error_class)));
      },
      progress);
}

void TMainForm::MoveRecordMarker() {
  if (ErSeries->Count() == 0) return;
  SeriesPos->Clear();
  SeriesPos->Append(TrackBar1->value() + 1, vari.RecordResult.ErrorPct, ToolkitColour(MarkerColour));
  Chart2->Replot();
}

void TMainForm::Chart2MouseDown(Qt::MouseButton button, int x, int) {
  if (!vari.FileLoaded || button != Qt::LeftButton) return;
  // The record under the pointer: the axis value narrowed to single precision and
  // rounded half to even.
  float value = static_cast<float>(Chart2->BottomAxis().ValueAtPixel(x));
  if (!std::isfinite(value)) return;
  double k = std::nearbyint(static_cast<double>(value));
  if (k < 1 || k > vari.RecordCount || TrackBar1->value() == static_cast<int>(k) - 1) return;
  TrackBar1->setValue(static_cast<int>(k) - 1);
}

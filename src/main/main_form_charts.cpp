// The mouse and focus behaviour of the two curve charts: readouts, focus colours,
// the double-click reset and the wheel zoom.

#include <QLineEdit>
#include <QSettings>

#include "main/main_form.h"
#include "processing/format_fixed.h"
#include "vari.h"

namespace {

constexpr uint32_t FocusedColour = 0xFFFFFF;

// The survey view's scale of a quantity in the settings: "auto log", "10 1000 log", ...
QString ScaleSetting(const char* key) { return QString("SurveyView/%1-scale").arg(key); }

}  // namespace

void TMainForm::Readout(Chart* chart, QLineEdit* box, int x, int y) {
  if (!vari.FileLoaded) return;
  float value = static_cast<float>(chart->LeftAxis().ValueAtPixel(y));
  float time = static_cast<float>(chart->BottomAxis().ValueAtPixel(x));
  box->setText(QString::fromStdString(FormatFixed(value, 3, decimal_separator_) + " " +
                                      FormatFixed(time, 1, decimal_separator_)));
}

void TMainForm::Chart1MouseMove(int x, int y) { Readout(Chart1, LCurrent, x, y); }
void TMainForm::ChartVoltageMouseMove(int x, int y) { Readout(ChartVoltage, lVoltage, x, y); }
void TMainForm::Chart1MouseLeave() { LCurrent->clear(); }
void TMainForm::ChartVoltageMouseLeave() { lVoltage->clear(); }

void TMainForm::ChartVoltageClick(Chart* sender) { sender->setFocus(Qt::MouseFocusReason); }
void TMainForm::ChartVoltageEnter(Chart* sender) { sender->SetColour(ToolkitColour(FocusedColour)); }
void TMainForm::ChartVoltageExit(Chart* sender) { sender->SetColour(ToolkitColour(ButtonFaceColour)); }

void TMainForm::ChartVoltageDblClick(Chart* sender) { ScaleToData(sender); }

// Both axes back to automatic scaling, the value axis first.
void TMainForm::ScaleToData(Chart* chart) {
  chart->LeftAxis().SetAutomatic(true);
  chart->BottomAxis().SetAutomatic(true);
  chart->Replot();
}

void TMainForm::ChartVoltageMouseWheel(Chart* sender, int wheel_delta, QPoint mouse_position,
                                       Qt::KeyboardModifiers shift, bool& handled) {
  if (!vari.FileLoaded) return;
  setWindowTitle(QString::number(wheel_delta));
  QPoint client = mapFromGlobal(mouse_position);
  QPoint chart_origin = sender->mapTo(this, QPoint(0, 0));
  const bool value_axis = shift.testFlag(Qt::ControlModifier);
  ChartAxis& axis = value_axis ? sender->LeftAxis() : sender->BottomAxis();
  int pixel = value_axis ? client.y() - chart_origin.y() : client.x() - chart_origin.x();

  float mn = static_cast<float>(axis.Minimum());
  float mx = static_cast<float>(axis.Maximum());
  float v = static_cast<float>(axis.ValueAtPixel(pixel));
  axis.SetAutomatic(false);
  // The new limits about the value v under the pointer, which keeps its place between them.
  const AxisLimits limits = WheelZoomed(mn, mx, v, wheel_delta < 0);
  axis.SetLimits(limits.minimum, limits.maximum);
  sender->Replot();

  if (!value_axis) {
    Chart* other = sender == ChartVoltage ? Chart1 : ChartVoltage;
    other->BottomAxis().SetAutomatic(false);
    other->BottomAxis().SetLimits(sender->BottomAxis().Minimum(), sender->BottomAxis().Maximum());
    other->Replot();
  }
  handled = true;
}

void TMainForm::LoadScaleChoices() {
  if (!SurveyWindow) return;
  for (auto quantity : {SurveyView::Quantity::Rhoa, SurveyView::Quantity::Error, SurveyView::Quantity::Chargeability,
                        SurveyView::Quantity::Tau, SurveyView::Quantity::DecayC, SurveyView::Quantity::Misfit}) {
    const char* key = SurveyView::ScaleKey(quantity);
    ScaleChoice choice = SurveyWindow->ScaleChoiceOf(quantity);
    const QStringList words =
        keeps_settings_ ? QSettings().value(ScaleSetting(key)).toString().split(' ') : QStringList();
    if (words.size() == 3) {
      choice.fixed = words[0] != "auto";
      choice.low = choice.fixed ? words[0].toDouble() : NAN;
      choice.high = choice.fixed ? words[1].toDouble() : NAN;
      choice.logarithmic = words[2] == "log";
      if (choice.fixed && !DrawableLimits(choice)) choice = SurveyWindow->ScaleChoiceOf(quantity);
    }
    if (line_) {
      const auto& scales = line_->Project().colour_scales;
      if (const auto fixed = scales.find(key); fixed != scales.end())
        choice = {.fixed = true,
                  .low = fixed->second.low,
                  .high = fixed->second.high,
                  .logarithmic = fixed->second.logarithmic};
    }
    SurveyWindow->SetScaleChoice(quantity, choice);
  }
}

void TMainForm::KeepScaleChoice(SurveyView::Quantity quantity, const ScaleChoice& choice) {
  const char* key = SurveyView::ScaleKey(quantity);
  if (!key) return;
  if (keeps_settings_)
    QSettings().setValue(ScaleSetting(key), choice.fixed
                                                ? QString("%1 %2 %3")
                                                      .arg(choice.low, 0, 'g', 17)
                                                      .arg(choice.high, 0, 'g', 17)
                                                      .arg(choice.logarithmic ? "log" : "linear")
                                                : QString("auto auto %1").arg(choice.logarithmic ? "log" : "linear"));
  if (!line_) return;
  line_->SetColourScale(key, choice.fixed
                                 ? std::optional<FixedColourScale>(
                                       {.low = choice.low, .high = choice.high, .logarithmic = choice.logarithmic})
                                 : std::nullopt);
  ShowLineCounts();  // the name's mark of a change
}

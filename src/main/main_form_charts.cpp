// The mouse and focus behaviour of the two curve charts: readouts, focus colours,
// the double-click reset and the wheel zoom.

#include <QLineEdit>

#include "main/main_form.h"
#include "processing/format_fixed.h"
#include "vari.h"

namespace {

constexpr uint32_t FocusedColour = 0xFFFFFF;
constexpr double ZoomStep = 0.25;  // a quarter in, and the third out that undoes it

struct Limits {
  double minimum, maximum;
};

// The new limits about the value v under the pointer, which keeps its place between them.
Limits Zoomed(float mn, float mx, float v, bool zoom_in) {
  if (zoom_in) return {mn + (double(v) - mn) * ZoomStep, mx - (double(mx) - v) * ZoomStep};
  return {mn - (double(v) - mn) * ZoomStep / (1 - ZoomStep), mx + (double(mx) - v) * ZoomStep / (1 - ZoomStep)};
}

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
  Limits limits = Zoomed(mn, mx, v, wheel_delta < 0);
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

// Loading and processing the record on show, and drawing it.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <optional>
#include <vector>

#include "main/main_form.h"
#include "measurement/record_identification.h"
#include "measurement/record_loader.h"
#include "processing/record_evaluation.h"
#include "processing/resistivity_line.h"
#include "processing/summary_line.h"
#include "vari.h"

namespace {

// x of sample i in milliseconds; a file without a usable sample rate is drawn over
// the sample index so the axis stays finite.
double SampleTime(int64_t i, int32_t sample_rate) {
  if (sample_rate <= 0) return static_cast<double>(i);
  return static_cast<double>(i) / sample_rate * 1000;
}

void AppendCurve(ChartSeries* series, const std::vector<float>& samples) {
  std::vector<double> xs(samples.size()), ys(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    xs[i] = SampleTime(static_cast<int64_t>(i), vari.survey->SampleRate);
    ys[i] = samples[i];
  }
  series->AppendMany(xs, ys);
}

// The averaged points and the square wave come as 1-based sample numbers; they are drawn
// on the curves' time axis, so that they sit on the curves whatever the sample rate.
void AppendPoints(ChartSeries* series, const std::vector<ChartPoint>& points) {
  const int32_t rate = vari.survey->SampleRate;
  for (const ChartPoint& point : points) {
    const double sample = point.x - 1;
    series->Append(rate > 0 ? sample / rate * 1000 : sample, point.y);
  }
}

}  // namespace

void TMainForm::LoadRecord(int k, bool display) {
  // With display on the load owns DataFile; with display off the caller's pass does.
  std::optional<DataFileSession> session;
  if (display) session.emplace(vari.work.DataFile, vari.survey->DataFileName);
  LoadCurrentSamples(*vari.survey, vari.work, k);
  if (display) PlotCurrentCurve();
  LoadVoltageSamples(*vari.survey, vari.work, k, SignBox->isChecked());
  if (display) {
    PlotVoltageCurve();
    Label1->setText(QString::fromStdString(RecordIdentification(vari.survey->RecordIndex[k])));
    Label1->adjustSize();
    lNumber->setText(QString::number(k));
  }
  ProcessRecord(k, display);
  if (display) {
    ShowResistivity(k);
    if (DecayB->isChecked()) ShowDecay();
    emit RecordShown(k);
  }
}

void TMainForm::ProcessRecord(int k, bool display) {
  if (!display) {
    vari.RecordResult = EvaluateLoadedRecord(*vari.survey, vari.work, k, CurrentRecordOptions());
    return;
  }
  ProcISeries->Clear();
  ProcVSeries->Clear();
  DoneSeries->Clear();
  Panel2Caption->clear();
  RecordDrawing drawing;
  vari.RecordResult = EvaluateLoadedRecord(*vari.survey, vari.work, k, CurrentRecordOptions(), nullptr, &drawing);
  AppendPoints(ProcISeries, drawing.averaged_current);
  AppendPoints(ProcVSeries, drawing.averaged_voltage);
  AppendPoints(DoneSeries, drawing.square_wave);
  Panel2Caption->setText(QString::fromStdString(SummaryLine(vari.RecordResult.result, drawing, decimal_separator_)));
  Chart1->Replot();
  ChartVoltage->Replot();
}

// Every record is first shown whole: the chart is reset as by a double click.
void TMainForm::PlotCurrentCurve() {
  Series1->Clear();
  ChartVoltageDblClick(Chart1);
  AppendCurve(Series1, vari.work.CurrentSamples);
  Chart1->Replot();
}

void TMainForm::PlotVoltageCurve() {
  VoltSeries->Clear();
  ChartVoltageDblClick(ChartVoltage);
  AppendCurve(VoltSeries, vari.work.VoltageSamples);
  ChartVoltage->Replot();
}

// K, R and ρa of the record on show, by the summary line's number rule.
void TMainForm::ShowResistivity(int) {
  ResistivityLabel->setText(QString::fromStdString(ResistivityLine(vari.RecordResult.resistivity, decimal_separator_)));
}

// Loading and processing the record on show, and drawing it.

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <optional>
#include <vector>

#include "main/main_form.h"
#include "measurement/record_identification.h"
#include "measurement/record_loader.h"
#include "processing/record_evaluation.h"
#include "processing/resistivity_line.h"
#include "processing/summary_line.h"
#include "vari.h"
#include "views/record_charts.h"

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
  DrawRecordPoints({.current_means = ProcISeries, .voltage_means = ProcVSeries, .square_wave = DoneSeries}, drawing,
                   vari.survey->SampleRate);
  Panel2Caption->setText(QString::fromStdString(SummaryLine(vari.RecordResult.result, drawing, decimal_separator_)));
  Chart1->Replot();
  ChartVoltage->Replot();
}

// Every record is first shown whole: the chart is reset as by a double click.
void TMainForm::PlotCurrentCurve() {
  Series1->Clear();
  ChartVoltageDblClick(Chart1);
  DrawCurve(*Series1, vari.work.CurrentSamples, vari.survey->SampleRate);
  Chart1->Replot();
}

void TMainForm::PlotVoltageCurve() {
  VoltSeries->Clear();
  ChartVoltageDblClick(ChartVoltage);
  DrawCurve(*VoltSeries, vari.work.VoltageSamples, vari.survey->SampleRate);
  ChartVoltage->Replot();
}

// K, R and ρa of the record on show, by the summary line's number rule.
void TMainForm::ShowResistivity(int) {
  ResistivityLabel->setText(QString::fromStdString(ResistivityLine(vari.RecordResult.resistivity, decimal_separator_)));
}

QString TMainForm::RecordOnShowTitle() const {
  const int k = TrackBar1->value() + 1;
  if (!vari.survey || k < 1 || k > vari.survey->RecordCount) return {};
  return RecordTitle(QFileInfo(QString::fromStdString(vari.survey->DataFileName)).fileName(), k,
                     vari.survey->RecordIndex[static_cast<size_t>(k)]);
}

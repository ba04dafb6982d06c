#pragma once
// The record charts, as the window shows them and vostrel-plot draws them: the current
// curve with its half-period means above, the voltage curve with its means and the
// square wave fitted window by window below, all on one time axis in milliseconds, the
// two plot areas one above the other so that a time stands at the same x on both.

#include <QString>
#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "measurement/survey.h"
#include "processing/record_processor.h"

struct RecordSeries {
  ChartSeries* current = nullptr;        // the current curve
  ChartSeries* current_means = nullptr;  // its half-period means
  ChartSeries* voltage = nullptr;        // the voltage curve
  ChartSeries* voltage_means = nullptr;  // its half-period means
  ChartSeries* square_wave = nullptr;    // the square wave fitted to them
};

// Adds the record's series to the two charts, in the order they are drawn, with the time
// axes' titles and a legend of the voltage chart's marks; keeps the plot areas aligned.
RecordSeries AddRecordSeries(Chart& current, Chart& voltage);

// A curve's samples against their time in milliseconds.
void DrawCurve(ChartSeries& series, const std::vector<float>& samples, int32_t sample_rate);
// The means and the square wave of a processed record, at their times in milliseconds
// (the core places them in samples), the square wave a piece per difference window.
void DrawRecordPoints(const RecordSeries& series, const RecordDrawing& drawing, int32_t sample_rate);

// Both plot areas begin where the wider of the two value axes needs.
void AlignRecordCharts(Chart& current, Chart& voltage);

// A record picture's title: the survey, the record and its electrodes.
QString RecordTitle(const QString& survey, int k, const RecordIndexEntry& entry);

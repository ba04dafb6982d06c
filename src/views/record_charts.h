#pragma once
// The record charts, as the window shows them and vostrel-plot draws them: the current
// curve with its half-period means above, the voltage curve with its means and the
// fitted square wave below.

#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "processing/record_processor.h"

struct RecordSeries {
  ChartSeries* current = nullptr;        // the current curve
  ChartSeries* current_means = nullptr;  // its half-period means
  ChartSeries* voltage = nullptr;        // the voltage curve
  ChartSeries* voltage_means = nullptr;  // its half-period means
  ChartSeries* square_wave = nullptr;    // the square wave fitted to them
};

// Adds the record's series to the two charts, in the order they are drawn.
RecordSeries AddRecordSeries(Chart& current, Chart& voltage);

// A curve's samples against their time in milliseconds.
void DrawCurve(ChartSeries& series, const std::vector<float>& samples, int32_t sample_rate);
// The means and the square wave of a processed record.
void DrawRecordPoints(const RecordSeries& series, const RecordDrawing& drawing);

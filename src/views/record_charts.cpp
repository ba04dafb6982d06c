#include "views/record_charts.h"

namespace {

// The toolkit colours of the record charts.
constexpr uint32_t Red = 0x0000FF, Grey = 0x808080, Green = 0x008000;

// x of sample i in milliseconds; a file without a usable sample rate is drawn over
// the sample index so the axis stays finite.
double SampleTime(int64_t i, int32_t sample_rate) {
  if (sample_rate <= 0) return static_cast<double>(i);
  return static_cast<double>(i) / sample_rate * 1000;
}

void AppendPoints(ChartSeries& series, const std::vector<ChartPoint>& points) {
  for (const ChartPoint& point : points) series.Append(point.x, point.y);
}

}  // namespace

RecordSeries AddRecordSeries(Chart& current, Chart& voltage) {
  using Kind = Chart::SeriesKind;
  RecordSeries series;
  series.current = &current.AddSeries({.kind = Kind::FastLine, .colour = ToolkitColour(Red), .pen_width = 2});
  series.current_means =
      &current.AddSeries({.kind = Kind::Points, .colour = ToolkitColour(Green), .marker_half_size = 3});
  series.voltage = &voltage.AddSeries({.kind = Kind::FastLine, .colour = ToolkitColour(Grey), .pen_width = 2});
  series.voltage_means =
      &voltage.AddSeries({.kind = Kind::Points, .colour = ToolkitColour(Green), .marker_half_size = 3});
  series.square_wave = &voltage.AddSeries({.kind = Kind::Line, .colour = ToolkitColour(Red), .pen_width = 1});
  return series;
}

void DrawCurve(ChartSeries& series, const std::vector<float>& samples, int32_t sample_rate) {
  std::vector<double> xs(samples.size()), ys(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    xs[i] = SampleTime(static_cast<int64_t>(i), sample_rate);
    ys[i] = samples[i];
  }
  series.AppendMany(xs, ys);
}

void DrawRecordPoints(const RecordSeries& series, const RecordDrawing& drawing) {
  AppendPoints(*series.current_means, drawing.averaged_current);
  AppendPoints(*series.voltage_means, drawing.averaged_voltage);
  AppendPoints(*series.square_wave, drawing.square_wave);
}

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

// The means and the square wave come as 1-based sample numbers: drawn at their samples'
// time, they sit on the curves whatever the sample rate.
void AppendPoints(ChartSeries& series, const std::vector<ChartPoint>& points, int32_t sample_rate) {
  for (const ChartPoint& point : points) {
    const double sample = point.x - 1;
    series.Append(sample_rate > 0 ? sample / sample_rate * 1000 : sample, point.y);
  }
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

void DrawRecordPoints(const RecordSeries& series, const RecordDrawing& drawing, int32_t sample_rate) {
  AppendPoints(*series.current_means, drawing.averaged_current, sample_rate);
  AppendPoints(*series.voltage_means, drawing.averaged_voltage, sample_rate);
  AppendPoints(*series.square_wave, drawing.square_wave, sample_rate);
}

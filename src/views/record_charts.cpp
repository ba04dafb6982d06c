#include "views/record_charts.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

// The toolkit colours of the record charts.
constexpr uint32_t Red = 0x0000FF, Grey = 0x808080, Green = 0x008000;

QString Text(const char* text) { return QCoreApplication::translate("RecordCharts", text); }

// x in milliseconds of a place counted in samples; a file without a usable sample rate
// is drawn over the sample index so the axis stays finite.
double SampleTime(double samples, int32_t sample_rate) {
  if (sample_rate <= 0) return samples;
  return samples * 1000 / sample_rate;
}

// The means and the square wave come as 1-based sample numbers: drawn at their samples'
// time, they sit on the curves whatever the sample rate.
void AppendPoints(ChartSeries& series, const std::vector<ChartPoint>& points, int32_t sample_rate) {
  for (const ChartPoint& point : points) series.Append(SampleTime(point.x - 1, sample_rate), point.y);
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
  for (Chart* chart : {&current, &voltage})
    chart->BottomAxis().SetTitle(Text(QT_TRANSLATE_NOOP("RecordCharts", "t, мс")));
  voltage.SetLegend(
      {{LegendEntry::Look::Line, ToolkitColour(Grey), Text(QT_TRANSLATE_NOOP("RecordCharts", "кривая"))},
       {LegendEntry::Look::Square, ToolkitColour(Green),
        Text(QT_TRANSLATE_NOOP("RecordCharts", "средние полупериодов"))},
       {LegendEntry::Look::Line, ToolkitColour(Red), Text(QT_TRANSLATE_NOOP("RecordCharts", "меандр по окнам"))}},
      // Below the plot: inside it the legend would hide the last half-periods.
      Chart::LegendPlace::Below);
  for (Chart* chart : {&current, &voltage})
    QObject::connect(chart, &Chart::Replotted, chart, [&current, &voltage] { AlignRecordCharts(current, voltage); });
  return series;
}

void DrawCurve(ChartSeries& series, const std::vector<float>& samples, int32_t sample_rate) {
  std::vector<double> xs(samples.size()), ys(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    xs[i] = SampleTime(static_cast<double>(i), sample_rate);
    ys[i] = samples[i];
  }
  series.AppendMany(xs, ys);
}

void DrawRecordPoints(const RecordSeries& series, const RecordDrawing& drawing, int32_t sample_rate) {
  AppendPoints(*series.current_means, drawing.averaged_current, sample_rate);
  AppendPoints(*series.voltage_means, drawing.averaged_voltage, sample_rate);
  // Six points a window; the windows overlap by a half-period, so each is a piece of its own.
  for (size_t i = 0; i < drawing.square_wave.size(); ++i) {
    if (i > 0 && i % 6 == 0) series.square_wave->Break();
    const ChartPoint& point = drawing.square_wave[i];
    series.square_wave->Append(SampleTime(point.x - 1, sample_rate), point.y);
  }
}

void AlignRecordCharts(Chart& current, Chart& voltage) {
  const int left = std::max(current.LeftAxisRoom(), voltage.LeftAxisRoom());
  current.SetPlotSides(left, -1);
  voltage.SetPlotSides(left, -1);
}

QString RecordTitle(const QString& survey, int k, const RecordIndexEntry& entry) {
  return Text(QT_TRANSLATE_NOOP("RecordCharts", "%1 — запись %2: A=%3 B=%4 M=%5 N=%6"))
      .arg(survey)
      .arg(k)
      .arg(int(entry.A))
      .arg(int(entry.B))
      .arg(int(entry.M))
      .arg(int(entry.N));
}

// vostrel-plot: the window's pictures without a display, for reports and scripts, drawn
// from the core's results and the record pass's rows with the chart layer and the
// window's views; no window is built. The batch tool's "plot" command runs it, so that
// only drawing loads the window's libraries.

#include <QApplication>
#include <cstdio>
#include <vector>

#include "analysis/file_check.h"
#include "analysis/pseudosection.h"
#include "chart/chart.h"
#include "measurement/in_out_error.h"
#include "processing/record_pass.h"
#include "views/decay_view.h"
#include "views/record_charts.h"
#include "views/survey_view.h"
#include "vostrel_batch/arguments.h"

namespace {

constexpr uint32_t White = 0xFFFFFF;

// Record k's current and voltage charts as the window shows them: each curve with its
// half-period means, and the square wave fitted to the voltage.
bool SaveRecordImage(const QString& out, const Survey& survey, int k, const RecordOptions& options) {
  Workspace work;
  RecordDrawing drawing;
  {
    DataFileSession session(work.DataFile, survey.DataFileName);
    EvaluateRecord(survey, work, k, options, nullptr, &drawing);
  }
  Chart current, voltage;
  current.LeftAxis().SetTitle("Ток, мА");
  voltage.LeftAxis().SetTitle("Напряжение,  мВ");
  voltage.SetBackWallColour(ToolkitColour(White));
  const RecordSeries series = AddRecordSeries(current, voltage);
  DrawCurve(*series.current, work.CurrentSamples, survey.SampleRate);
  DrawCurve(*series.voltage, work.VoltageSamples, survey.SampleRate);
  DrawRecordPoints(series, drawing);
  return SaveChartsImage(out, {&current, &voltage}, QSize(1600, 900));
}

// Record k's decay after the switch-off with the survey's default gates.
bool SaveDecayImage(const QString& out, const Survey& survey, int k, const RecordOptions& options) {
  PassOptions pass;
  pass.record = options;
  pass.records = {k};
  pass.ip = IpSettings{};
  pass.decay_curve = true;
  DecayView view;
  view.ShowGates(GatesFor(survey, *pass.ip));
  RecordPass(survey, pass, [&](const RecordRow& row) { view.Show(*row.evaluation.ip); });
  view.resize(1000, 600);
  return view.DecayChart()->SaveImage(out, QSize(1000, 600));
}

// The pseudosection of the whole survey from the file check's points, with every
// record's M for the chargeability.
bool SaveSectionImage(const QString& out, const Survey& survey, const std::string& quantity,
                      const RecordOptions& options) {
  std::vector<CheckPoint> points;
  const IpSettings ip;
  CheckFile(
      survey, options, [&](const CheckPoint& point) { points.push_back(point); }, {}, quantity == "ip" ? &ip : nullptr);
  SurveyView view;
  view.ShowPoints(PseudosectionOf(survey, points));
  view.SetQuantity(quantity == "rhoa" ? SurveyView::Quantity::Rhoa
                   : quantity == "ip" ? SurveyView::Quantity::Chargeability
                                      : SurveyView::Quantity::Error);
  view.resize(1200, 600);
  return view.Section()->SaveImage(out, QSize(1200, 600));
}

int Plot(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign", "--abs-du"}, {"--record", "--decay", "--pseudosection"});
  if (arguments.Plain().size() != 2) throw UsageError("a measurement file and an image file expected");
  const std::string& file = arguments.Plain()[0];
  const QString out = QString::fromStdString(arguments.Plain()[1]);
  const std::string* quantity = arguments.Text("--pseudosection");
  const std::string* record_text = arguments.Text("--record");
  const std::string* decay_text = arguments.Text("--decay");
  if ((record_text != nullptr) + (decay_text != nullptr) + (quantity != nullptr) != 1)
    throw UsageError("--record K, --decay K or --pseudosection rhoa|ip|error expected");
  if (quantity && *quantity != "rhoa" && *quantity != "error" && *quantity != "ip")
    throw UsageError("--pseudosection takes rhoa, ip or error");
  const int32_t k = record_text  ? ParseInt32(*record_text, "--record")
                    : decay_text ? ParseInt32(*decay_text, "--decay")
                                 : 0;
  const RecordOptions options{arguments.Flag("--flip-sign"), arguments.Flag("--abs-du")};

  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "vostrel-batch";
  char* argv[] = {name, nullptr};
  // The offscreen platform's notes about what it cannot do are no news to a script.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  });
  QApplication application(argc, argv);
  // Named, so that nothing Qt keeps for a program lands under an unknown one.
  application.setOrganizationName("vostrel");
  application.setApplicationName("vostrel-plot");

  // What the window would show in its error box ends the picture with the file's name.
  bool saved = false;
  try {
    const OpenedSurvey opened = OpenSurvey(file);
    // As every command: what the index says is told, and the records it holds are drawn.
    for (const std::string& warning : opened.report.warnings)
      std::fprintf(stderr, "%s: %s\n", file.c_str(), warning.c_str());
    const Survey& survey = *opened.survey;
    if ((record_text || decay_text) && (k < 1 || k > survey.RecordCount)) {
      std::fprintf(stderr, "%s: record %d is not in the survey\n", file.c_str(), k);
      return 1;
    }
    saved = record_text  ? SaveRecordImage(out, survey, k, options)
            : decay_text ? SaveDecayImage(out, survey, k, options)
                         : SaveSectionImage(out, survey, *quantity, options);
  } catch (const InOutError& error) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.what());
    return 1;
  }
  if (!saved) {
    std::fprintf(stderr, "%s: cannot write %s (PNG, SVG or PDF)\n", file.c_str(), out.toStdString().c_str());
    return 1;
  }
  std::printf("%s\n", out.toStdString().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Plot(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "vostrel-batch plot: %s\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vostrel-batch plot: %s\n", error.what());
    return 1;
  }
}

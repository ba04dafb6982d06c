// vostrel-plot: the window's pictures without a display, for reports and scripts, drawn
// from the core's results and the record pass's rows with the chart layer and the
// views; no window is built. The batch tool's "plot" command runs it, so that only
// drawing loads the window's libraries.

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QFileInfo>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "analysis/arrangement.h"
#include "analysis/file_check.h"
#include "analysis/pseudosection.h"
#include "chart/chart.h"
#include "line/line_error.h"
#include "line/line_records.h"
#include "line/line_section.h"
#include "measurement/in_out_error.h"
#include "processing/record_pass.h"
#include "views/decay_view.h"
#include "views/record_charts.h"
#include "views/survey_view.h"
#include "vostrel_batch/plot_options.h"
#include "vostrel_batch/survey_input.h"

namespace {

constexpr uint32_t White = 0xFFFFFF;

// Every kind of picture is laid out this wide and drawn, by default, magnified to
// PictureWidth: its text about 8 pt when the figure is printed 16 cm wide.
constexpr int LaidOutWidth = 720;
constexpr int PictureWidth = 1200;

// What the picture is to be beside its subject: its size (empty: as laid out), and for a
// section the colour scale and whether it is drawn in elevation.
struct PictureChoices {
  QSize size;                                       // of no height: that width, the height in proportion
  std::optional<std::pair<double, double>> limits;  // fixed; none: automatic
  std::optional<bool> logarithmic;                  // none: the quantity's own
  bool elevation = false;
};

// A picture is drawn as the window shows it: the widget laid out at its size on the
// offscreen screen first, so that axes, markers and text have the room they have there.
void LayOut(QWidget& widget, QSize size) {
  widget.resize(size);
  widget.show();
  QApplication::processEvents();
}

QString FileName(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName(); }

// Record k's current and voltage charts as the window shows them: each curve with its
// half-period means, and the square wave fitted to the voltage.
bool SaveRecordImage(const QString& out, const Survey& survey, int k, const RecordOptions& options,
                     const PictureChoices& choices) {
  Workspace work;
  RecordDrawing drawing;
  {
    DataFileSession session(work.DataFile, survey.DataFileName);
    EvaluateRecord(survey, work, k, options, nullptr, &drawing);
  }
  QWidget charts;
  auto* layout = new QVBoxLayout(&charts);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* current = new Chart(&charts);
  auto* voltage = new Chart(&charts);
  layout->addWidget(current);
  layout->addWidget(voltage);
  current->LeftAxis().SetTitle("Ток, мА");
  voltage->LeftAxis().SetTitle("Напряжение, мВ");
  voltage->SetBackWallColour(ToolkitColour(White));
  const RecordSeries series = AddRecordSeries(*current, *voltage);
  DrawCurve(*series.current, work.CurrentSamples, survey.SampleRate);
  DrawCurve(*series.voltage, work.VoltageSamples, survey.SampleRate);
  DrawRecordPoints(series, drawing, survey.SampleRate);
  LayOut(charts, QSize(LaidOutWidth, 420));
  for (Chart* chart : {current, voltage}) chart->ReplotNow();
  AlignRecordCharts(*current, *voltage);
  const QString title = RecordTitle(FileName(survey.DataFileName), k, survey.RecordIndex[static_cast<size_t>(k)]);
  return SaveChartsImage(out, ChartPicture{{current, voltage}, {title}}, choices.size);
}

// Record k's decay after the switch-off with the survey's default gates. A record
// without an answer is drawn with the reason, which is told on stderr too.
bool SaveDecayImage(const QString& out, const Survey& survey, int k, const RecordOptions& options,
                    const PictureChoices& choices) {
  PassOptions pass;
  pass.record = options;
  pass.records = {k};
  pass.ip = IpSettings{};
  // The Cole–Cole fit the window's decay view shows.
  pass.ip->decay_fit = true;
  pass.decay_curve = true;
  DecayView view;
  view.ShowGates(GatesFor(survey, *pass.ip));
  view.SetRecordTitle(RecordTitle(FileName(survey.DataFileName), k, survey.RecordIndex[static_cast<size_t>(k)]));
  std::string no_answer;
  RecordPass(survey, pass, [&](const RecordRow& row) {
    const Chargeability& ip = *row.evaluation.ip;
    view.Show(ip);
    if (!std::isfinite(ip.m) || ip.time_ms.empty())
      no_answer = ip.no_answer.empty() ? "fewer than three pauses or no Vp" : ip.no_answer;
  });
  if (!no_answer.empty())
    std::fprintf(stderr, "%s: record %d has no chargeability: %s\n", survey.DataFileName.c_str(), k, no_answer.c_str());
  LayOut(view, QSize(LaidOutWidth, 500));
  return SaveChartsImage(out, view.Picture(), choices.size);
}

SurveyView::Quantity QuantityNamed(const std::string& name) {
  if (name == "rhoa") return SurveyView::Quantity::Rhoa;
  if (name == "ip") return SurveyView::Quantity::Chargeability;
  if (name == "classes") return SurveyView::Quantity::ErrorClasses;
  return SurveyView::Quantity::Error;
}

// A section drawn as the survey view draws it, with the scale chosen.
bool SaveSection(const QString& out, SurveyView& view, const std::string& quantity,
                 std::vector<PseudosectionPoint> points, const PictureChoices& choices) {
  const SurveyView::Quantity shown = QuantityNamed(quantity);
  view.SetQuantity(shown);
  ScaleChoice scale = view.ScaleChoiceOf(shown);
  if (choices.logarithmic) scale.logarithmic = *choices.logarithmic;
  if (choices.limits)
    scale = {
        .fixed = true, .low = choices.limits->first, .high = choices.limits->second, .logarithmic = scale.logarithmic};
  view.SetScaleChoice(shown, scale);
  LayOut(view, QSize(LaidOutWidth, 420));
  view.ShowPoints(std::move(points));
  view.SetElevation(choices.elevation);
  view.ShowAll();
  return SaveChartsImage(out, view.Picture(), choices.size);
}

// Says so on stderr where ρa ≤ 0 leaves records without a colour on the log scale.
void TellNotPositive(const std::string& file, const std::vector<PseudosectionPoint>& points) {
  const auto count = std::ranges::count_if(points, [](const PseudosectionPoint& point) {
    return point.left_out.empty() && std::isfinite(point.rhoa) && point.rhoa <= 0;
  });
  if (count > 0)
    std::fprintf(stderr, "%s: %d records with ρa ≤ 0: try --flip-sign\n", file.c_str(), static_cast<int>(count));
}

// The pseudosection of the whole survey from the file check's points, with every
// record's M for the chargeability.
bool SaveSectionImage(const QString& out, const Survey& survey, const std::string& quantity,
                      const RecordOptions& options, const PictureChoices& choices) {
  std::vector<CheckPoint> checked;
  const IpSettings ip;
  CheckFile(
      survey, options, [&](const CheckPoint& point) { checked.push_back(point); }, {},
      quantity == "ip" ? &ip : nullptr);
  std::vector<PseudosectionPoint> points = PseudosectionOf(survey, checked);
  if (quantity == "rhoa") TellNotPositive(survey.DataFileName, points);
  SurveyView view;
  view.SetSubject(FileName(survey.DataFileName), ArrangementName(ArrangementOf(survey)));
  return SaveSection(out, view, quantity, std::move(points), choices);
}

// The section of a whole line, with its ground above it or under it in elevation, and
// the records its rules and the hand leave out drawn as the window draws them.
bool SaveLineSectionImage(const QString& out, const std::string& path, const std::string& quantity,
                          const PictureChoices& choices) {
  const LineProject project = ReadLineProject(path);
  const LineData line = EvaluateLine(path, project, {.ip = quantity == "ip"});
  LineSection section = LineSectionOf(line, Evaluate(line.records, project.rules, project.excluded_by_hand).causes);
  std::vector<std::pair<double, double>> profile;
  std::vector<QPointF> ground, electrodes;
  for (const GroundPoint& point : GroundProfile(project, line)) {
    profile.emplace_back(point.x, point.z);
    ground.emplace_back(point.x, point.z);
  }
  for (const LineElectrode& electrode : line.electrodes) electrodes.emplace_back(electrode.x, electrode.z);
  PlaceOnGround(section.points, profile);
  if (quantity == "rhoa") TellNotPositive(path, section.points);
  std::vector<Quadrupole> records;
  for (const LineRecord& record : line.records) records.push_back({record.a, record.b, record.m, record.n});
  QStringList names;
  for (const LineSurvey& survey : project.surveys) names << FileName(survey.file);
  SurveyView view;
  view.SetSurveyNames(names);
  view.SetSubject(FileName(path), ArrangementName(ArrangementOf(records)));
  view.ShowGround(std::move(ground), std::move(electrodes));
  return SaveSection(out, view, quantity, std::move(section.points), choices);
}

int Plot(const PlotOptions& o) {
  const std::string& file = o.file;
  const QString out = QString::fromStdString(o.picture);
  const int32_t k = o.k;
  const bool section = o.kind == PlotOptions::Kind::Section;
  PictureChoices choices;
  choices.size = o.width > 0 ? QSize(o.width, o.height) : QSize(PictureWidth, 0);
  choices.limits = o.limits;
  choices.logarithmic = o.logarithmic;
  choices.elevation = o.elevation;

  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "vostrel-plot";
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
    if (o.Line()) {
      saved = SaveLineSectionImage(out, file, o.section, choices);
    } else {
      // As every command: what the index says is told, and the records it holds are drawn.
      std::string told;
      const OpenedSurvey opened = OpenSurveyInput(file, told);
      std::fputs(told.c_str(), stderr);
      const Survey& survey = *opened.survey;
      if (!section && (k < 1 || k > survey.RecordCount)) {
        std::fprintf(stderr, "%s: record %d is not in 1..%d\n", file.c_str(), k, survey.RecordCount);
        return 1;
      }
      saved = section                               ? SaveSectionImage(out, survey, o.section, o.record, choices)
              : o.kind == PlotOptions::Kind::Record ? SaveRecordImage(out, survey, k, o.record, choices)
                                                    : SaveDecayImage(out, survey, k, o.record, choices);
    }
  } catch (const LineFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  } catch (const InOutError& error) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.what());
    return 1;
  }
  if (!saved) {
    std::fprintf(stderr, "%s: the picture cannot be written there\n", o.picture.c_str());
    return 1;
  }
  std::printf("%s\n", o.picture.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("draws the window's pictures of a survey without a display", "vostrel-plot");
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  app.set_version_flag("--version", std::string("vostrel-plot ") + VOSTREL_VERSION, "the version");
  PlotOptions options;
  DeclarePlotOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return 0;
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr, "vostrel-plot: %s\nRun 'vostrel-plot --help' for its options.\n", error.what());
    return 2;
  }
  try {
    return Plot(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vostrel-plot: %s\n", error.what());
    return 1;
  }
}

// vostrel-plot: the window's pictures without a display, for reports and scripts, drawn
// from the core's results and the record pass's rows with the chart layer and the
// views; no window is built. The batch tool's "plot" command runs it, so that only
// drawing loads the window's libraries.

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
#include "vostrel_batch/arguments.h"

namespace {

constexpr uint32_t White = 0xFFFFFF;

// What the picture is to be beside its subject: its size (empty: as laid out), and for a
// section the colour scale and whether it is drawn in elevation.
struct PictureChoices {
  QSize size;
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
  voltage->LeftAxis().SetTitle("Напряжение,  мВ");
  voltage->SetBackWallColour(ToolkitColour(White));
  const RecordSeries series = AddRecordSeries(*current, *voltage);
  DrawCurve(*series.current, work.CurrentSamples, survey.SampleRate);
  DrawCurve(*series.voltage, work.VoltageSamples, survey.SampleRate);
  DrawRecordPoints(series, drawing, survey.SampleRate);
  LayOut(charts, QSize(1600, 900));
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
  LayOut(view, QSize(1000, 640));
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
  LayOut(view, QSize(1200, 640));
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

// --size WIDTHxHEIGHT, within the pictures' limits.
QSize SizeOf(const std::string& text) {
  const size_t x = text.find('x');
  const QSize size = x == std::string::npos
                         ? QSize()
                         : QSize(ParseInt32(text.substr(0, x), "--size"), ParseInt32(text.substr(x + 1), "--size"));
  if (!Chart::SizeRefusal(size).isEmpty())
    throw UsageError("--size takes WIDTHxHEIGHT, from 1 to " + std::to_string(Chart::LargestImageSide) +
                     " pixels a side and " + std::to_string(Chart::LargestImagePixels / 1'000'000) +
                     " megapixels at most, not '" + text + "'");
  return size;
}

PictureChoices ChoicesOf(const Arguments& arguments, const std::string* quantity, bool line) {
  PictureChoices choices;
  if (const std::string* size = arguments.Text("--size")) choices.size = SizeOf(*size);
  if (arguments.Flag("--log") && arguments.Flag("--linear")) throw UsageError("--log or --linear, not both");
  if (arguments.Flag("--log") || arguments.Flag("--linear")) choices.logarithmic = arguments.Flag("--log");
  const std::string* scale = arguments.Text("--scale");
  choices.elevation = arguments.Flag("--elevation");
  if ((scale || choices.logarithmic || choices.elevation) && (!quantity || *quantity == "classes"))
    throw UsageError("--scale, --log, --linear and --elevation draw a pseudosection of rhoa, ip or error");
  if (choices.elevation && !line) throw UsageError("--elevation draws a line's section (LINE.vln)");
  if (scale && *scale != "auto") {
    const size_t colon = scale->find(':');
    if (colon == std::string::npos) throw UsageError("--scale takes auto or LOW:HIGH, not '" + *scale + "'");
    const double low = ParseWhole<double>(scale->substr(0, colon), "--scale");
    const double high = ParseWhole<double>(scale->substr(colon + 1), "--scale");
    const bool logarithmic = choices.logarithmic.value_or(*quantity != "ip");
    if (!(low < high) || (logarithmic && low <= 0))
      throw UsageError("--scale takes the low limit first" +
                       std::string(logarithmic ? ", above 0 on a log scale" : "") + ", not '" + *scale + "'");
    choices.limits = std::pair{low, high};
  }
  return choices;
}

int Plot(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign", "--abs-du", "--log", "--linear", "--elevation"},
                      {"--record", "--decay", "--pseudosection", "--scale", "--size"});
  if (arguments.Plain().size() != 2) throw UsageError("a measurement file or a line and an image file expected");
  const std::string& file = arguments.Plain()[0];
  const QString out = QString::fromStdString(arguments.Plain()[1]);
  const std::string* quantity = arguments.Text("--pseudosection");
  const std::string* record_text = arguments.Text("--record");
  const std::string* decay_text = arguments.Text("--decay");
  if ((record_text != nullptr) + (decay_text != nullptr) + (quantity != nullptr) != 1)
    throw UsageError("--record K, --decay K or --pseudosection rhoa|ip|error|classes expected");
  if (quantity && *quantity != "rhoa" && *quantity != "error" && *quantity != "ip" && *quantity != "classes")
    throw UsageError("--pseudosection takes rhoa, ip, error or classes");
  const bool line = QFileInfo(QString::fromStdString(file)).suffix().toLower() == "vln";
  if (line && !quantity) throw UsageError("a line (LINE.vln) is drawn as a pseudosection");
  if (line && (arguments.Flag("--flip-sign") || arguments.Flag("--abs-du")))
    throw UsageError("a line's processing is its project's: --flip-sign and --abs-du are for a survey");
  const int32_t k = record_text  ? ParseInt32(*record_text, "--record")
                    : decay_text ? ParseInt32(*decay_text, "--decay")
                                 : 0;
  const RecordOptions options{arguments.Flag("--flip-sign"), arguments.Flag("--abs-du")};
  const PictureChoices choices = ChoicesOf(arguments, quantity, line);

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
    if (line) {
      saved = SaveLineSectionImage(out, file, *quantity, choices);
    } else {
      const OpenedSurvey opened = OpenSurvey(file);
      // As every command: what the index says is told, and the records it holds are drawn.
      for (const std::string& warning : opened.report.warnings)
        std::fprintf(stderr, "%s: %s\n", file.c_str(), warning.c_str());
      const Survey& survey = *opened.survey;
      if ((record_text || decay_text) && (k < 1 || k > survey.RecordCount)) {
        std::fprintf(stderr, "%s: record %d is not in the survey\n", file.c_str(), k);
        return 1;
      }
      saved = record_text  ? SaveRecordImage(out, survey, k, options, choices)
              : decay_text ? SaveDecayImage(out, survey, k, options, choices)
                           : SaveSectionImage(out, survey, *quantity, options, choices);
    }
  } catch (const LineFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
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

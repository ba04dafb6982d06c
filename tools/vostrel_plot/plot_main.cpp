// vostrel-plot: the window's pictures without a display, for reports and scripts. The
// batch tool's "plot" command runs it, so that only drawing loads the window's libraries.

#include <QApplication>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <cstdio>

#include "chart/chart.h"
#include "main/main_form.h"
#include "main/message_sink.h"
#include "vostrel_batch/arguments.h"

namespace {

void WaitForPass(TMainForm& form) {
  auto* progress = form.findChild<QProgressBar*>("ProgressBar1");
  while (progress->isVisible()) QApplication::processEvents(QEventLoop::AllEvents, 10);
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
  const bool record = record_text || decay_text;
  const int32_t k = record_text  ? ParseInt32(*record_text, "--record")
                    : decay_text ? ParseInt32(*decay_text, "--decay")
                                 : 0;

  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "vostrel-batch";
  char* argv[] = {name, nullptr};
  // The offscreen platform's notes about what it cannot do are no news to a script.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  });
  QApplication application(argc, argv);
  application.setOrganizationName("vostrel");
  application.setApplicationName("vostrel-plot");
  std::vector<std::string> messages;
  SetMessageSink([&](const std::string& text) { messages.push_back(text); });
  auto failed = [&] {
    for (const std::string& text : messages) std::fprintf(stderr, "%s: %s\n", file.c_str(), text.c_str());
    return !messages.empty();
  };

  TMainForm form;
  form.SetKeepsSettings(false);
  form.resize(1600, 1000);
  form.findChild<QCheckBox*>("SignBox")->setChecked(arguments.Flag("--flip-sign"));
  form.findChild<QCheckBox*>("AbsBox")->setChecked(arguments.Flag("--abs-du"));
  form.show();
  form.OpenFromCommandLine(QString::fromStdString(file));
  if (failed()) return 1;
  bool saved = false;
  if (record) {
    form.GoToRecord(k);
    if (form.findChild<QSlider*>("TrackBar1")->value() != k - 1) {
      std::fprintf(stderr, "%s: record %d is not in the survey\n", file.c_str(), k);
      return 1;
    }
    QApplication::processEvents();
    if (decay_text) {
      saved = form.ShowDecayView()->DecayChart()->SaveImage(out, QSize(1000, 600));
    } else {
      saved = SaveChartsImage(out, {form.findChild<Chart*>("Chart1"), form.findChild<Chart*>("ChartVoltage")},
                              QSize(1600, 900));
    }
  } else {
    // The check computes every record's M while the decay view is on.
    if (*quantity == "ip") form.ShowDecayView();
    form.findChild<QPushButton*>("CheckB")->click();
    WaitForPass(form);
    if (failed()) return 1;
    SurveyView* view = form.ShowSurveyView();
    view->SetQuantity(*quantity == "rhoa" ? SurveyView::Quantity::Rhoa
                      : *quantity == "ip" ? SurveyView::Quantity::Chargeability
                                          : SurveyView::Quantity::Error);
    view->resize(1200, 600);
    QApplication::processEvents();
    saved = view->Section()->SaveImage(out, QSize(1200, 600));
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

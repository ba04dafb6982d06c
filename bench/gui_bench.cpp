// The window on the offscreen platform at 1920 x 1080: showing one record of the
// 10000-record survey (load, draw, replot), and the file check from the window
// against the batch tool's check of the same file.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <cmath>
#include <cstdlib>

#include "analysis/file_check.h"
#include "bench_support.h"
#include "main/main_form.h"
#include "processing/record_evaluation.h"
#include "vari.h"
#include "views/survey_view.h"

namespace {

// The window's own event loop until a pass's progress bar goes: it sleeps between events
// as the program does, instead of spinning beside the pass.
void WaitUntilHidden(QWidget* progress) {
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(2);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (!progress->isVisible()) loop.quit();
  });
  poll.start();
  loop.exec();
}

TMainForm& OpenedForm() {
  static TMainForm* form = [] {
    auto* f = new TMainForm;
    f->resize(1920, 1080);
    f->show();
    std::string survey = TenThousandRecordSurvey(false);
    f->SetOpenDialog([survey](QWidget*) { return QString::fromStdString(survey); });
    f->findChild<QPushButton*>("OpenB")->click();
    QApplication::processEvents();
    return f;
  }();
  return *form;
}

void BM_ShowOneRecord(benchmark::State& state) {
  TMainForm& form = OpenedForm();
  auto* track_bar = form.findChild<QSlider*>("TrackBar1");
  int position = 0;
  for (auto _ : state) {
    position = (position + 37) % vari.survey->RecordCount;
    track_bar->setValue(position);
    QApplication::processEvents();  // the queued replot and the repaint
  }
}

// The same with the decay view on: the core's chargeability and the decay chart too.
void BM_ShowOneRecordWithDecayView(benchmark::State& state) {
  TMainForm& form = OpenedForm();
  form.ShowDecayView();
  auto* track_bar = form.findChild<QSlider*>("TrackBar1");
  int position = 0;
  for (auto _ : state) {
    position = (position + 37) % vari.survey->RecordCount;
    track_bar->setValue(position);
    QApplication::processEvents();
  }
  form.findChild<QPushButton*>("DecayB")->setChecked(false);
  QApplication::processEvents();
}

void BM_CheckFromTheWindow(benchmark::State& state) {
  TMainForm& form = OpenedForm();
  auto* check = form.findChild<QPushButton*>("CheckB");
  auto* progress = form.findChild<QProgressBar*>("ProgressBar1");
  for (auto _ : state) {
    check->click();
    WaitUntilHidden(progress);
  }
}

void BM_CheckInTheBatchTool(benchmark::State& state) {
  const SharedSurvey v = OpenSurvey(TenThousandRecordSurvey(false)).survey;
  for (auto _ : state) {
    int points = 0;
    CheckFile(*v, {}, [&](const CheckPoint&) { ++points; });
    benchmark::DoNotOptimize(points);
  }
}

// The survey view over the 10000 records of a finished check: building it (the core's
// points and pairs, colours, the first drawing) and redrawing it.
SurveyView& CheckedView() {
  static SurveyView* view = [] {
    TMainForm& form = OpenedForm();
    form.findChild<QPushButton*>("CheckB")->click();
    WaitUntilHidden(form.findChild<QProgressBar*>("ProgressBar1"));
    SurveyView* shown = form.ShowSurveyView();
    shown->resize(1200, 700);
    QApplication::processEvents();
    return shown;
  }();
  return *view;
}

void BM_SurveyViewBuild(benchmark::State& state) {
  CheckedView();
  TMainForm& form = OpenedForm();
  for (auto _ : state) {
    SurveyView* view = form.ShowSurveyView();
    view->Section()->ReplotNow();
  }
}

void BM_SurveyViewRedraw(benchmark::State& state) {
  SurveyView& view = CheckedView();
  for (auto _ : state) view.Section()->ReplotNow();
}

// A line of ten surveys of 2000 records open in the window, its survey view at
// 1600 x 1000: one record excluded or taken back by hand, as a Ctrl click does, until
// the section is drawn again (the causes, the counter, the panel and the error chart
// follow in the same step).
void BM_LineToggleInTheWindow(benchmark::State& state) {
  static TMainForm* form = [] {
    auto* f = new TMainForm;
    f->SetKeepsSettings(false);
    f->resize(1600, 1000);
    f->show();
    f->OpenAnyFile(QString::fromStdString(TenSpreadLine()));
    WaitUntilHidden(f->findChild<QProgressBar*>("ProgressBar1"));
    f->ShowSurveyView()->resize(1600, 1000);
    QApplication::processEvents();
    return f;
  }();
  SurveyView* view = form->ShowSurveyView();
  int k = 0;
  for (auto _ : state) {
    emit view->RecordsToggled({{k % 10, 1 + k % 2000}});
    view->Section()->ReplotNow();
    ++k;
  }
  state.counters["records"] = static_cast<double>(form->Line()->Data()->records.size());
}

// A line of 10 dipole-dipole spreads of 2000 records on 72 electrodes 2 m apart, rolled
// along by 72 m, a few of
// them left out, in a view of 1600 x 1000: toggling one record in or out and drawing.
std::vector<PseudosectionPoint> LinePoints() {
  std::vector<PseudosectionPoint> points;
  for (int file = 0; file < 10; ++file) {
    int record = 0;
    for (int dipole = 1; dipole <= 8 && record < 2000; ++dipole)
      for (int n = 1; n <= 10 && record < 2000; ++n)
        for (int a = 1; a + (n + 2) * dipole <= 72 && record < 2000; ++a) {
          PseudosectionPoint p{
              .record = ++record, .a = a, .b = a + dipole, .m = a + (n + 1) * dipole, .n = a + (n + 2) * dipole};
          p.x = file * 72.0 + (p.a + p.b + p.m + p.n) / 4.0 * 2;
          p.depth = 2.0 * dipole * (0.19 + 0.25 * n);
          p.rhoa = 100 * std::exp(std::sin(p.x / 30) + p.depth / 40);
          p.error_pct = p.plotted_error_pct = 0.5;
          p.chargeability = NAN;
          p.file = file;
          if (record % 97 == 0) p.left_out = "stacking error";
          points.push_back(p);
        }
  }
  return points;
}

void BM_LineToggleRedraw(benchmark::State& state) {
  SurveyView view;
  view.resize(1600, 1000);
  view.show();
  std::vector<PseudosectionPoint> points = LinePoints();
  view.ShowPoints(points);
  QApplication::processEvents();
  size_t i = 0;
  for (auto _ : state) {
    i = (i + 7919) % points.size();
    points[i].left_out = points[i].left_out.empty() ? "by hand" : "";
    view.ShowPoints(points);
    view.Section()->ReplotNow();
  }
  state.counters["points"] = double(points.size());
}

BENCHMARK(BM_ShowOneRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowOneRecordWithDecayView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowOneRecord)->Unit(benchmark::kMillisecond)->Name("BM_ShowOneRecord_again");
BENCHMARK(BM_SurveyViewBuild)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SurveyViewRedraw)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LineToggleInTheWindow)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LineToggleRedraw)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CheckInTheBatchTool)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_CheckFromTheWindow)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_CheckInTheBatchTool)->Unit(benchmark::kMillisecond)->MinTime(3)->Name("BM_CheckInTheBatchTool_again");

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

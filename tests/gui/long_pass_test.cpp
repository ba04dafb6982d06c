// Passes over all records run beside the window: it keeps answering, Esc (in the window
// or in a view) or the cancel button stops a pass at its next record, a stopped check
// keeps its points, the next pass runs whole, and a stopped export leaves the old table
// as it was.

#include <QApplication>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "form_fixture.h"
#include "main/line_panel.h"
#include "vari.h"
#include "views/survey_view.h"

namespace {

class LongPassTest : public FormTest {
 protected:
  // 10000 records of 16000 samples as holes in a sparse file: a pass of a noticeable time.
  std::string LongSurvey() {
    return Survey(
        "long.qmr",
        {.blocks = 500, .channels = 20, .half_period = 1000, .second_length = 1000, .period_count = 4, .sparse = true});
  }
  // Presses Esc in `window`, the active one with the keys, as soon as the progress bar has moved.
  void EscapeOnceUnderWay(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* progress = Control<QProgressBar>("ProgressBar1");
    QObject::connect(progress, &QProgressBar::valueChanged, form_.get(), [this, window](int value) {
      if (value > 1 && !escaped_) {
        escaped_ = true;
        QTest::keyClick(window, Qt::Key_Escape);
      }
    });
  }
  bool escaped_ = false;
};

TEST_F(LongPassTest, AStoppedCheckKeepsItsPointsAndTheNextRunsWhole) {
  Open(LongSurvey());
  EscapeOnceUnderWay(form_.get());
  Click("CheckB");
  const int points = Control<Chart>("Chart2")->SeriesAt(0).Count();
  EXPECT_GT(points, 0);
  EXPECT_LT(points, 10000) << "Esc stopped the check";
  // The error chart says that the check was stopped, and how far it came.
  auto* chart = Control<Chart>("Chart2");
  EXPECT_TRUE(chart->TitleVisible());
  const QRegularExpressionMatch said =
      QRegularExpression("^Ошибка, % — проверка остановлена: проверено записей (\\d+) из 10000$").match(chart->Title());
  ASSERT_TRUE(said.hasMatch()) << chart->Title().toStdString();
  EXPECT_GE(said.captured(1).toInt(), points);
  EXPECT_LT(said.captured(1).toInt(), 10000);
  EXPECT_TRUE(messages_.Messages().empty()) << "stopping is no failure";
  EXPECT_TRUE(Control<QPushButton>("CheckB")->isEnabled());
  EXPECT_FALSE(Control<QPushButton>("CancelB")->isVisible());
  // Said too where views cannot cover it: in a notice, and in the section's caption.
  EXPECT_EQ(Text("NoticeLabel"), "Проверка остановлена: проверено записей " + said.captured(1) + " из 10000");
  EXPECT_EQ(form_->ShowSurveyView()->windowTitle(),
            "Разрез — проверка остановлена: проверено записей " + said.captured(1) + " из 10000");

  Click("CheckB");
  EXPECT_EQ(Control<Chart>("Chart2")->SeriesAt(0).Count(), 10000) << "the next check runs to the end";
  EXPECT_FALSE(chart->Title().contains("остановлена"));
  EXPECT_EQ(form_->ShowSurveyView()->windowTitle(), "Разрез");
}

// Esc in a view stops the pass as it does in the window, and the view stays open.
TEST_F(LongPassTest, EscInAViewStopsThePass) {
  Open(LongSurvey());
  for (auto [button, name] : {std::pair{"SurveyViewB", "SurveyView"}, {"DecayB", "DecayView"}}) {
    SCOPED_TRACE(button);
    Click(button);
    QWidget* view = Control<QWidget>(name);
    ASSERT_NE(view, nullptr);
    escaped_ = false;
    EscapeOnceUnderWay(view);
    Click("CheckB");
    EXPECT_TRUE(escaped_);
    EXPECT_LT(Control<Chart>("Chart2")->SeriesAt(0).Count(), 10000) << "Esc stopped the check";
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(Control<QPushButton>("CancelB")->isVisible());
  }
}

TEST_F(LongPassTest, AStoppedExportLeavesTheOldTable) {
  const std::string path = LongSurvey();
  Open(path);
  auto* progress = Control<QProgressBar>("ProgressBar1");
  QObject::connect(progress, &QProgressBar::valueChanged, form_.get(), [this](int value) {
    if (value > 1 && !escaped_) {
      escaped_ = true;
      QTest::mouseClick(Control<QPushButton>("CancelB"), Qt::LeftButton);
    }
  });
  const std::string table = dir_.File("long.TXT");
  Click("SaveB");
  ASSERT_TRUE(escaped_);
  EXPECT_FALSE(std::filesystem::exists(table));
  EXPECT_EQ(Text("NoticeLabel"), "Экспорт остановлен: файл не записан") << "no old table to speak of";
  Click("SaveB");
  const auto before = ReadWholeFile(table);
  ASSERT_EQ(std::count(before.begin(), before.end(), '\n'), 10001);

  Control<QCheckBox>("SignBox")->setChecked(true);  // the new table would differ
  escaped_ = false;
  Click("SaveB");
  EXPECT_TRUE(escaped_);
  EXPECT_EQ(ReadWholeFile(table), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2) << "no temporary file left";
  EXPECT_TRUE(Control<QLabel>("NoticeLabel")->isVisible());
  EXPECT_EQ(Text("NoticeLabel"), "Экспорт остановлен: файл не записан, прежний остался как был");
}

// With the decay view on every pass computes M; Esc stops each quietly. A line evaluated
// again after an offset and stopped keeps the section it had, which says so until the
// line is evaluated again.
TEST_F(LongPassTest, EscStopsEveryPassWithChargeabilityQuietly) {
  SynthOptions polarised{.blocks = 60, .channels = 10, .half_period = 400, .second_length = 400, .period_count = 4};
  polarised.chargeability_mv_v = 20;
  const std::string s1 = Survey("s1.qmr", polarised), s2 = Survey("s2.qmr", polarised);
  Open(s1);
  form_->SetLineDialog([=, this](QWidget*, const QString& kind) -> QStringList {
    if (kind == "save") return {QString::fromStdString(dir_.File("line.vln"))};
    if (kind == "surveys") return {QString::fromStdString(s2)};
    return {};
  });
  QMenu* menu = Control<QToolButton>("LineB")->menu();
  auto choose = [menu](const QString& entry) {
    emit menu->aboutToShow();
    for (QAction* action : menu->actions())
      if (action->text() == entry) {
        EXPECT_TRUE(action->isEnabled()) << entry.toStdString();
        action->trigger();
      }
  };
  choose("Новый профиль из этой съёмки…");
  WaitForPass();
  SurveyView* view = form_->ShowSurveyView();
  const QString caption = view->windowTitle();
  ASSERT_TRUE(caption.startsWith("Разрез — line.vln")) << caption.toStdString();

  form_->ShowDecayView();  // the line is evaluated again with M
  EscapeOnceUnderWay(form_.get());
  WaitForPass();
  EXPECT_TRUE(escaped_);
  EXPECT_TRUE(view->windowTitle().contains("прежний расчёт")) << view->windowTitle().toStdString();
  for (const char* button : {"CheckB", "ExportB"}) {
    SCOPED_TRACE(button);
    escaped_ = false;
    EscapeOnceUnderWay(form_.get());
    Click(button);
    EXPECT_TRUE(escaped_);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("line.csv"))) << "a stopped export writes nothing";

  emit form_->ShowLinePanel()->OffsetChanged(1, 460);
  escaped_ = false;
  EscapeOnceUnderWay(form_.get());
  WaitForPass();
  EXPECT_TRUE(escaped_);
  EXPECT_TRUE(view->windowTitle().contains("прежний расчёт")) << view->windowTitle().toStdString();
  EXPECT_TRUE(messages_.Messages().empty()) << messages_.Messages().front();

  choose("Вычислить заново");
  WaitForPass();
  EXPECT_TRUE(view->windowTitle().startsWith("Разрез — line.vln *: записей 1200, исключено 0"))
      << view->windowTitle().toStdString();
  EXPECT_TRUE(messages_.Messages().empty());
}

// While a pass runs the window goes on drawing and showing records; what would change
// the survey waits.
// The cancel button comes without moving a control under the pointer.
TEST_F(LongPassTest, TheWindowAnswersDuringAPass) {
  form_->resize(1280, 800);
  Open(LongSurvey());
  auto in_form = [this](QWidget* w) { return QRect(w->mapTo(form_.get(), QPoint(0, 0)), w->size()); };
  std::vector<std::pair<QWidget*, QRect>> controls;
  for (QWidget* control : Control<QWidget>("ControlStrip")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (control->isVisible()) controls.push_back({control, in_form(control)});
  ASSERT_GE(controls.size(), 3u);
  QTest::mouseClick(Control<QPushButton>("CheckB"), Qt::LeftButton);
  auto* progress = Control<QProgressBar>("ProgressBar1");
  ASSERT_TRUE(progress->isVisible());
  EXPECT_FALSE(Control<QPushButton>("OpenB")->isEnabled());
  EXPECT_FALSE(Control<QCheckBox>("SignBox")->isEnabled());
  auto* cancel = Control<QPushButton>("CancelB");
  EXPECT_TRUE(cancel->isVisible());
  EXPECT_TRUE(form_->rect().contains(in_form(cancel)));
  for (const auto& [control, place] : controls) {
    EXPECT_TRUE(control->isVisible()) << control->objectName().toStdString();
    EXPECT_EQ(in_form(control), place) << control->objectName().toStdString();
    EXPECT_FALSE(place.intersects(in_form(cancel))) << control->objectName().toStdString();
  }
  TypeRecordNumber("5000");
  EXPECT_EQ(RecordOnShow(), 5000) << "a record is shown while the check runs";
  EXPECT_TRUE(Text("Label1").endsWith("    nCh=20  nImp=250")) << Text("Label1").toStdString();
  // The decay view opened meanwhile shows the record, but its gates wait for the pass.
  DecayView* decay = form_->ShowDecayView();
  const std::vector<QWidget*> gate_controls{decay->findChild<QWidget*>("GatesEdit"),
                                            decay->findChild<QWidget*>("GatesB"), decay->DecayExportButton()};
  for (QWidget* control : gate_controls) EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  WaitForPass();
  EXPECT_EQ(Control<Chart>("Chart2")->SeriesAt(0).Count(), 10000);
  EXPECT_TRUE(Control<QPushButton>("OpenB")->isEnabled());
  for (QWidget* control : gate_controls) EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
}

}  // namespace

// A survey line made, edited, exported and opened again in the window, as a user does.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "form_fixture.h"
#include "main/language.h"
#include "main/line_panel.h"
#include "views/decay_view.h"
#include "views/survey_view.h"
#include "whole_file.h"

namespace {

std::string TextOf(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

int LinesOf(const std::string& path) {
  const std::string text = TextOf(path);
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class LineWindowTest : public FormTest {
 protected:
  // s1 and s2 made a line from the window, s1 on show.
  void MakeLine(const std::string& s1, const std::string& s2, const std::string& line) {
    Open(s1);
    form_->SetLineDialog([=](QWidget*, const QString& kind) -> QStringList {
      if (kind == "save") return {QString::fromStdString(line)};
      if (kind == "surveys") return {QString::fromStdString(s2)};
      return {};
    });
    Choose("Новый профиль из этой съёмки…");
  }
  void Choose(const QString& entry) {
    QMenu* menu = Control<QToolButton>("LineB")->menu();
    emit menu->aboutToShow();
    for (QAction* action : menu->actions())
      if (action->text() == entry) {
        ASSERT_TRUE(action->isEnabled()) << entry.toStdString();
        action->trigger();
        WaitForPass();
        return;
      }
    FAIL() << "no entry " << entry.toStdString();
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QApplication::setActiveWindow(form_.get());
    QTest::keyClick(form_.get(), static_cast<Qt::Key>(key), modifiers);
  }
  QString Counter() { return Text("LineCounter"); }
  // The error chart's records: coloured, and left out by the line (hollow, grey).
  int Coloured() { return Control<Chart>("Chart2")->SeriesAt(0).Count(); }
  int Hollow() { return Control<Chart>("Chart2")->SeriesAt(2).Count(); }
};

TEST_F(LineWindowTest, HandExclusionsFollowTheChartsAndTheFilesAndOpenAgainAsSaved) {
  const std::string s1 = Survey("s1.qmr", LineSpread()), s2 = Survey("s2.qmr", LineSpread());
  const std::string line = dir_.File("line.vln");
  const auto raw1 = ReadWholeFile(s1), raw2 = ReadWholeFile(s2);
  MakeLine(s1, s2, line);
  ASSERT_TRUE(std::filesystem::exists(line));
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(s1 + " — профиль line.vln"));
  EXPECT_EQ(Counter(), "line.vln: искл. 0 из 24");
  EXPECT_EQ(form_->ShowSurveyView()->windowTitle(), "Разрез — line.vln: записей 24, исключено 0 — ρк ≤ 0: 24");
  Click("CheckB");
  EXPECT_EQ(Coloured(), 12);

  form_->GoToRecord(3);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Counter(), "line.vln *: искл. 1 из 24");
  EXPECT_EQ(form_->ShowSurveyView()->windowTitle(), "Разрез — line.vln *: записей 24, исключено 1 — ρк ≤ 0: 23");
  EXPECT_EQ(Coloured(), 11);
  ASSERT_EQ(Hollow(), 1);
  EXPECT_EQ(Control<Chart>("Chart2")->SeriesAt(2).Points()[0].x, 3);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Counter(), "line.vln: искл. 0 из 24");
  EXPECT_EQ(Hollow(), 0);
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Hollow(), 1);
  // A record of the other survey, picked on the section.
  emit form_->ShowSurveyView()->RecordsToggled({{1, 2}});
  EXPECT_EQ(Counter(), "line.vln *: искл. 2 из 24");
  // A new check of the survey on show draws what the line leaves out of it, and only that.
  Click("CheckB");
  EXPECT_EQ(Coloured(), 11);
  EXPECT_EQ(Hollow(), 1);

  Control<QComboBox>("ExportFormatBox")->setCurrentText("csv");
  Click("ExportB");
  EXPECT_EQ(LinesOf(dir_.File("line.csv")), 1 + 22);
  std::filesystem::permissions(dir_.File("line.csv"), std::filesystem::perms::owner_read);
  Click("ExportB");
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0],
            "Нет доступа на запись: " + dir_.File("line.csv") +
                "\nПрофиль можно сохранить в другой папке: «Профиль» → «Сохранить профиль как…».");
  std::filesystem::permissions(dir_.File("line.csv"), std::filesystem::perms::owner_all);

  // The sign flipped for the line evaluates it again and is kept with it.
  Control<QCheckBox>("SignBox")->setChecked(true);
  WaitForPass();
  form_->SetAskSave([](QWidget*, const QString&) { return int(QMessageBox::Save); });
  Choose("Закрыть профиль");
  EXPECT_FALSE(Control<QLabel>("LineCounter")->isVisibleTo(form_.get()));
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(s1));
  EXPECT_TRUE(form_->ShowSurveyView()->GroundChart()->isHidden()) << "a survey alone has no ground above it";
  Control<QCheckBox>("SignBox")->setChecked(false);
  const std::string saved = TextOf(line);
  EXPECT_NE(saved.find("flip-sign = yes"), std::string::npos) << saved;
  EXPECT_NE(saved.find("abs-du = no"), std::string::npos) << "only the box ticked: " << saved;
  EXPECT_NE(saved.find("record = s1.qmr:3"), std::string::npos) << saved;
  EXPECT_NE(saved.find("record = s2.qmr:2"), std::string::npos) << saved;

  // Opened again, the line starts where it was saved; undo goes back no further.
  form_->OpenAnyFile(QString::fromStdString(line));
  WaitForPass();
  EXPECT_EQ(Counter(), "line.vln: искл. 2 из 24");
  EXPECT_TRUE(Control<QCheckBox>("SignBox")->isChecked()) << "the line's own processing";
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Counter(), "line.vln: искл. 2 из 24");
  // The survey's last record, left out, is hollow on the error chart as the others.
  Click("CheckB");
  form_->GoToRecord(12);
  Key(Qt::Key_Delete);
  ASSERT_EQ(Hollow(), 2);
  EXPECT_EQ(Control<Chart>("Chart2")->SeriesAt(2).Points()[1].x, 12);
  EXPECT_EQ(ReadWholeFile(s1), raw1);
  EXPECT_EQ(ReadWholeFile(s2), raw2);
}

// On a narrow screen the line is made and edited through the "»" menu, whose entries are
// enabled as the button's own would be; the panel fits the screen and scrolls.
TEST_F(LineWindowTest, TheLineIsReachedThroughTheMoreMenuOnANarrowScreen) {
  form_->resize(1024, 700);
  const std::string s1 = Survey("s1.qmr", LineSpread()), s2 = Survey("s2.qmr", LineSpread());
  Open(s1);
  auto offered = [this](const QString& entry) -> QAction* {
    QMenu* more = Control<QToolButton>("MoreB")->menu();
    emit more->aboutToShow();
    for (QAction* action : more->actions())
      if (action->menu() && action->text() == "Профиль")
        for (QAction* inner : action->menu()->actions())
          if (inner->text() == entry) return inner;
    ADD_FAILURE() << "no entry " << entry.toStdString();
    return nullptr;
  };
  ASSERT_FALSE(Control<QToolButton>("LineB")->isVisible()) << "the button has no room";
  QAction* made = offered("Новый профиль из этой съёмки…");
  ASSERT_TRUE(made && made->isEnabled());
  form_->SetLineDialog([=, this](QWidget*, const QString& kind) -> QStringList {
    if (kind == "save") return {QString::fromStdString(dir_.File("line.vln"))};
    if (kind == "surveys") return {QString::fromStdString(s2)};
    return {};
  });
  made->trigger();
  WaitForPass();
  for (const char* entry : {"Сохранить профиль", "Сохранить профиль как…", "Закрыть профиль"})
    EXPECT_TRUE(offered(entry)->isEnabled()) << entry;
  QAction* panel_entry = offered("Съёмки и правила…");
  ASSERT_TRUE(panel_entry->isEnabled());
  panel_entry->trigger();
  auto* panel = Control<QWidget>("LinePanel");
  ASSERT_TRUE(panel->isVisible());
  const QRect screen = form_->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(panel->frameGeometry())) << "the panel within the screen";
  auto* save = Control<QWidget>("SaveLineB");
  Control<QScrollArea>("LinePanelScroll")->ensureWidgetVisible(save);
  QApplication::processEvents();
  EXPECT_FALSE(save->visibleRegion().isEmpty()) << "its last control reached by scrolling";
}

// On a wide screen the counter stands beside the line's button, with as much of its text
// as the row has room for; the menu of a narrower one has it whole.
TEST_F(LineWindowTest, TheCounterStandsBesideTheButtonWhereTheRowHasRoom) {
  form_->resize(1600, 1000);
  MakeLine(Survey("s1.qmr", LineSpread()), Survey("s2.qmr", LineSpread()), dir_.File("north-profile-2012.vln"));
  auto* counter = Control<QLabel>("LineCounter");
  auto* button = Control<QToolButton>("LineB");
  ASSERT_TRUE(button->isVisible());
  ASSERT_TRUE(counter->isVisible());
  EXPECT_EQ(counter->y(), button->y());
  EXPECT_GT(counter->x(), button->geometry().right());
  EXPECT_LE(counter->mapTo(form_.get(), QPoint(counter->width(), 0)).x(), form_->width());
  EXPECT_TRUE(counter->text().endsWith("искл. 0 из 24")) << counter->text().toStdString();
  EXPECT_LE(counter->fontMetrics().horizontalAdvance(counter->text()), counter->width()) << "the text whole";

  form_->resize(1000, 745);
  EXPECT_FALSE(counter->isVisible());
  QMenu* more = Control<QToolButton>("MoreB")->menu();
  emit more->aboutToShow();
  EXPECT_EQ(more->actions().back()->text(), "north-profile-2012.vln: искл. 0 из 24");
}

// Ctrl+Z undoes every change to the line, not only the hand exclusions: a rule, the
// topography and an offset, each drawn and counted again; Ctrl+Shift+Z redoes them.
TEST_F(LineWindowTest, UndoCoversTheRulesTheTopographyAndTheOffsets) {
  const std::string topography = dir_.File("topo.txt");
  std::ofstream(topography) << "-50 100\n500 110\n";
  MakeLine(Survey("s1.qmr", LineSpread()), Survey("s2.qmr", LineSpread()), dir_.File("line.vln"));
  form_->SetLineDialog([=](QWidget*, const QString&) { return QStringList{QString::fromStdString(topography)}; });
  LinePanel* panel = form_->ShowLinePanel();
  SurveyView* view = form_->ShowSurveyView();
  auto farthest = [view] {
    double x = -1e9;
    for (int series = 0; series < view->Section()->SeriesCount(); ++series)
      for (const SeriesPoint& point : view->Section()->SeriesAt(series).Points()) x = std::max(x, point.x);
    return x;
  };
  auto offset = [this] { return Control<QTableWidget>("LineSurveys")->item(1, 1)->text(); };
  const double far = farthest();

  emit panel->OffsetChanged(1, 100);
  WaitForPass();
  EXPECT_DOUBLE_EQ(farthest(), far + 100);
  emit panel->TopographyAsked();
  WaitForPass();
  EXPECT_EQ(Text("TopographyPoints"), "точек: 2");
  Control<QCheckBox>("NegativeRhoaC")->click();
  EXPECT_EQ(Counter(), "line.vln *: искл. 24 из 24") << "every record of this model has ρa < 0";

  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Counter(), "line.vln *: искл. 0 из 24");
  EXPECT_FALSE(Control<QCheckBox>("NegativeRhoaC")->isChecked());
  Key(Qt::Key_Z, Qt::ControlModifier);
  WaitForPass();
  EXPECT_EQ(Text("TopographyPoints"), "земля ровная");
  Key(Qt::Key_Z, Qt::ControlModifier);
  WaitForPass();
  EXPECT_DOUBLE_EQ(farthest(), far);
  EXPECT_EQ(offset(), "0");
  EXPECT_EQ(Counter(), "line.vln: искл. 0 из 24") << "as saved";

  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  WaitForPass();
  EXPECT_DOUBLE_EQ(farthest(), far + 100);
  EXPECT_EQ(offset(), "100");
  EXPECT_TRUE(messages_.Messages().empty());
}

// The decay view opens beside the line's panel, not over its rules.
TEST_F(LineWindowTest, TheDecayViewOpensBesideThePanel) {
  MakeLine(Survey("s1.qmr", LineSpread()), Survey("s2.qmr", LineSpread()), dir_.File("line.vln"));
  QWidget* panel = form_->ShowLinePanel();
  Click("DecayB");
  WaitForPass();
  auto* decay = Control<QWidget>("DecayView");
  ASSERT_TRUE(decay->isVisible() && panel->isVisible());
  EXPECT_FALSE(decay->frameGeometry().intersects(panel->frameGeometry()));
  EXPECT_TRUE(form_->screen()->availableGeometry().contains(decay->frameGeometry()));
}

// The section coloured by τ has the line fit its decays; the rule on a decay that is not
// monotone leaves out the spread whose decays hold a spike, counted in the panel; and
// "Экспорт спадов" writes the long table of the records the line keeps.
TEST_F(LineWindowTest, TheDecaysFitColoursTheLineAndItsRulesAndLongTableFollow) {
  SynthOptions o = LineSpread();
  o.physical = true, o.rho_ohm_m = 100, o.period_count = 4, o.noise_mv = 0.5;
  o.chargeability_mv_v = 31.7, o.tau_ms = 61.3, o.cole_c = 0.71;
  const std::string clean = Survey("clean.qmr", o);
  o.decay_fault = DecayFault::LeftSpike;
  MakeLine(clean, Survey("spike.qmr", o), dir_.File("line.vln"));
  SurveyView* view = form_->ShowSurveyView();
  view->SetQuantity(SurveyView::Quantity::Tau);
  WaitForPass();
  EXPECT_EQ(view->Section()->SeriesAt(0).Count(), 12) << "every place coloured by τ";
  EXPECT_EQ(view->Section()->SeriesAt(1).Count(), 0);

  form_->ShowLinePanel();
  Control<QCheckBox>("DecayNotMonotoneC")->click();
  WaitForPass();
  EXPECT_EQ(Counter(), "line.vln *: искл. 12 из 24");
  EXPECT_EQ(Text("DecayNotMonotoneCount"), "12");

  DecayView* decay = form_->ShowDecayView();
  ASSERT_TRUE(decay->DecayExportButton()->isEnabled());
  decay->DecayExportButton()->click();
  WaitForPass();
  std::ifstream table(dir_.File("line.decay.csv"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(table, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), 1u);
  EXPECT_EQ((lines.size() - 1) % 12, 0u) << "every gate of the twelve records kept";
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, 10), "clean.qmr,") << lines[i];
  EXPECT_TRUE(messages_.Messages().empty());
}

// A record reached by its number takes the line's keys at once; the number field keeps
// its own keys while it is being edited.
TEST_F(LineWindowTest, TheRecordsKeysWorkAfterANumberIsTyped) {
  MakeLine(Survey("s1.qmr", LineSpread()), Survey("s2.qmr", LineSpread()), dir_.File("line.vln"));
  QApplication::setActiveWindow(form_.get());
  auto* number = Control<QLineEdit>("lNumber");
  auto typed = [&](auto... keys) {
    for (auto [key, modifiers] : {keys...}) QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  };
  QTest::mouseClick(number, Qt::LeftButton);
  ASSERT_EQ(QApplication::focusWidget(), number);
  number->selectAll();
  typed(std::pair{Qt::Key_4, Qt::NoModifier}, std::pair{Qt::Key_Return, Qt::NoModifier});
  EXPECT_EQ(RecordOnShow(), 4);
  typed(std::pair{Qt::Key_Delete, Qt::NoModifier});
  EXPECT_EQ(Counter(), "line.vln *: искл. 1 из 24");
  typed(std::pair{Qt::Key_Z, Qt::ControlModifier});
  EXPECT_EQ(Counter(), "line.vln: искл. 0 из 24");
  typed(std::pair{Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier});
  EXPECT_EQ(Counter(), "line.vln *: искл. 1 из 24");

  QTest::mouseClick(number, Qt::LeftButton);
  number->end(false);
  typed(std::pair{Qt::Key_7, Qt::NoModifier}, std::pair{Qt::Key_Z, Qt::ControlModifier});
  EXPECT_EQ(number->text(), "4") << "the field's own undo";
  EXPECT_EQ(Counter(), "line.vln *: искл. 1 из 24") << "not the line's";
}

// With the decay view switched on, the line's records carry M for the section; a survey
// changed since keeps the line from opening and is named.
TEST_F(LineWindowTest, TheDecayViewBringsMAndAChangedSurveyKeepsTheLineShut) {
  SynthOptions polarised = LineSpread();
  polarised.chargeability_mv_v = 20;
  polarised.period_count = 2;  // pauses enough for M
  const std::string s1 = Survey("s1.qmr", polarised), s2 = Survey("s2.qmr", polarised);
  const std::string line = dir_.File("line.vln");
  MakeLine(s1, s2, line);
  SurveyView* view = form_->ShowSurveyView();
  view->SetQuantity(SurveyView::Quantity::Chargeability);
  EXPECT_EQ(view->Section()->SeriesAt(0).Count(), 0) << "no M computed yet";
  form_->ShowDecayView();
  WaitForPass();
  EXPECT_EQ(view->Section()->SeriesAt(0).Count(), 12) << "both spreads' records, two a place, coloured by their M";
  Control<QComboBox>("ExportFormatBox")->setCurrentText("csv");
  Click("ExportB");
  EXPECT_NE(TextOf(dir_.File("line.csv")).find(",M,Merr"), std::string::npos) << "the decay view's M exported";
  Choose("Закрыть профиль");
  std::ofstream(s2, std::ios::app) << '\0';
  form_->OpenAnyFile(QString::fromStdString(line));
  WaitForPass();
  EXPECT_FALSE(Control<QLabel>("LineCounter")->isVisibleTo(form_.get()));
  ASSERT_FALSE(messages_.Messages().empty());
  EXPECT_EQ(LineMessageText(QString::fromStdString(messages_.Messages().back())),
            QString::fromStdString(s2) + ": съёмка изменилась после того, как вошла в профиль (размер " +
                QString::number(std::filesystem::file_size(s2)) + " байт, а был " +
                QString::number(std::filesystem::file_size(s2) - 1) + ")");
}

// A colour scale fixed in the survey view is kept in the settings and, with a line open,
// in the line's project, whose scale comes first when it opens again; closing the line
// says what fills the section.
TEST_F(LineWindowTest, AFixedScaleIsKeptWithTheLineAndInTheSettings) {
  const std::string s1 = Survey("s1.qmr", LineSpread()), s2 = Survey("s2.qmr", LineSpread());
  const std::string line = dir_.File("line.vln");
  MakeLine(s1, s2, line);
  SurveyView* view = form_->ShowSurveyView();
  view->SetQuantity(SurveyView::Quantity::Error);
  ChooseFixedScale(view, "0.05", "50");
  EXPECT_EQ(Counter(), "line.vln *: искл. 0 из 24") << "the project changed";
  Choose("Сохранить профиль");
  EXPECT_NE(TextOf(line).find("error-scale = 0.05 50 log"), std::string::npos) << TextOf(line);
  auto bar = [&](SurveyView* shown) {
    const std::string svg = dir_.File("bar.svg");
    EXPECT_TRUE(SaveChartsImage(QString::fromStdString(svg), shown->Picture()));
    const QStringList texts = SvgTexts(svg);
    const qsizetype low = texts.indexOf("0.05");
    return low < 0 ? QStringList()
                   : QStringList{texts[low], texts.mid(low).filter(QRegularExpression("^50$")).value(0)};
  };
  EXPECT_EQ(bar(view), QStringList({"0.05", "50"}));

  Choose("Закрыть профиль");
  const std::string svg = dir_.File("closed.svg");
  ASSERT_TRUE(SaveChartsImage(QString::fromStdString(svg), view->Picture()));
  EXPECT_TRUE(SvgText(svg).contains("«Проверить файл» заполнит разрез")) << "the survey's places wait for a check";

  TMainForm other;  // the next start of the program
  other.show();
  SurveyView* again = other.ShowSurveyView();
  again->SetQuantity(SurveyView::Quantity::Error);
  other.OpenAnyFile(QString::fromStdString(s1));
  QTest::mouseClick(other.findChild<QPushButton*>("CheckB"), Qt::LeftButton);
  while (other.findChild<QProgressBar*>("ProgressBar1")->isVisible()) QApplication::processEvents();
  EXPECT_EQ(bar(again), QStringList({"0.05", "50"})) << "from the settings";
  ChooseFixedScale(again, "0.2", "20");
  other.OpenAnyFile(QString::fromStdString(line));
  while (other.findChild<QProgressBar*>("ProgressBar1")->isVisible()) QApplication::processEvents();
  QTest::mouseClick(other.findChild<QPushButton*>("CheckB"), Qt::LeftButton);
  while (other.findChild<QProgressBar*>("ProgressBar1")->isVisible()) QApplication::processEvents();
  EXPECT_EQ(bar(again), QStringList({"0.05", "50"})) << "the line's own scale before the settings'";
}

}  // namespace

// A survey line made, edited, exported and opened again in the window, as a user does.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "form_fixture.h"
#include "main/language.h"
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
  EXPECT_EQ(Counter(), "line.vln: искл. 0 из 24");
  EXPECT_EQ(form_->ShowSurveyView()->windowTitle(), "Разрез — line.vln: записей 24, исключено 0");
  Click("CheckB");
  EXPECT_EQ(Coloured(), 12);

  form_->GoToRecord(3);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Counter(), "line.vln *: искл. 1 из 24");
  EXPECT_EQ(form_->ShowSurveyView()->windowTitle(), "Разрез — line.vln *: записей 24, исключено 1");
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

  // The sign flipped for the line evaluates it again and is kept with it.
  Control<QCheckBox>("SignBox")->setChecked(true);
  WaitForPass();
  form_->SetAskSave([](QWidget*, const QString&) { return int(QMessageBox::Save); });
  Choose("Закрыть профиль");
  EXPECT_FALSE(Control<QLabel>("LineCounter")->isVisibleTo(form_.get()));
  EXPECT_TRUE(form_->ShowSurveyView()->GroundChart()->isHidden()) << "a survey alone has no ground above it";
  Control<QCheckBox>("SignBox")->setChecked(false);
  const std::string saved = TextOf(line);
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
  EXPECT_EQ(view->Section()->SeriesAt(0).Count(), 24) << "every record coloured by its M";
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

}  // namespace

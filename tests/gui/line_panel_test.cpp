// The line's panel: what the user sees of the state the window gives it, and what the
// user's own edits ask of the window (and that nothing else does).

#include "main/line_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTest>

namespace {

class LinePanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QObject::connect(&panel_, &LinePanel::RulesChanged, [this](const ExclusionRules& r) { rules_.push_back(r); });
    QObject::connect(&panel_, &LinePanel::OffsetChanged, [this](int survey, double offset) {
      offsets_.push_back({survey, offset});
    });
    QObject::connect(&panel_, &LinePanel::AddSurveysAsked, [this] { asked_ << "add"; });
    QObject::connect(&panel_, &LinePanel::TopographyAsked, [this] { asked_ << "topography"; });
    QObject::connect(&panel_, &LinePanel::SaveAsked, [this] { asked_ << "save"; });
    QObject::connect(&panel_, &LinePanel::TapeChanged, [this](bool on) { asked_ << (on ? "tape" : "no tape"); });
    panel_.Show(State());
    panel_.show();
    QApplication::setActiveWindow(&panel_);
  }
  static LinePanelState State(int surveys = 3) {
    LinePanelState state;
    state.name = "line.vln";
    for (int i = 0; i < surveys; ++i) state.surveys.push_back({QString("spread%1.qmr").arg(i + 1), 45.0 * i, 100});
    state.records = 100 * surveys;
    state.counts.by_cause[static_cast<int>(ExclusionCause::None)] = state.records;
    return state;
  }
  template <class W>
  W* Find(const char* name) {
    W* widget = panel_.findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const char* label) { return Find<QLabel>(label)->text(); }
  // Types into a value box as a user does: select all, the keys, Enter.
  void Type(QWidget* box, const QString& text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
  }
  bool Emitted() const { return !rules_.empty() || !offsets_.empty() || !asked_.isEmpty(); }

  LinePanel panel_;
  std::vector<ExclusionRules> rules_;
  std::vector<std::pair<int, double>> offsets_;
  QStringList asked_;
};

TEST_F(LinePanelTest, TickingAndEditingARuleEmitsTheRulesShown) {
  auto* error = Find<QCheckBox>("MaxErrorC");
  auto* error_value = Find<QDoubleSpinBox>("MaxErrorE");
  Type(error_value, "5");
  EXPECT_TRUE(rules_.empty()) << "the value of a rule not ticked changes no rule";

  error->click();
  ASSERT_EQ(rules_.size(), 1u);
  ExclusionRules expected;
  expected.max_error_pct = 5;
  EXPECT_EQ(rules_.back(), expected);
  Type(error_value, "7");
  ASSERT_EQ(rules_.size(), 2u);
  EXPECT_EQ(rules_.back().max_error_pct, 7);
  error->click();
  EXPECT_EQ(rules_.back(), ExclusionRules{}) << "unticked, the rule is absent";

  Find<QCheckBox>("MRangeC")->click();
  Type(Find<QDoubleSpinBox>("MLowE"), "-2");
  Type(Find<QDoubleSpinBox>("MHighE"), "150");
  ASSERT_TRUE(rules_.back().m_range_mv_v);
  EXPECT_EQ(*rules_.back().m_range_mv_v, std::make_pair(-2.0, 150.0));
  Find<QCheckBox>("NegativeRhoaC")->click();
  EXPECT_TRUE(rules_.back().negative_rhoa);
  EXPECT_EQ(rules_.back().m_range_mv_v, std::make_pair(-2.0, 150.0)) << "one rule's tick keeps the others";
  Type(Find<QDoubleSpinBox>("MLowE"), "300");
  EXPECT_EQ(rules_.back().m_range_mv_v, std::make_pair(150.0, 300.0)) << "bounds typed high first stay a range";
}

TEST_F(LinePanelTest, ABadElectrodeListShowsRedAndIsNotEmitted) {
  auto* list = Find<QLineEdit>("ElectrodesE");
  const QColor normal = list->palette().color(QPalette::Text);
  Type(list, "95, 120.5");
  Find<QCheckBox>("ElectrodesC")->click();
  ASSERT_EQ(rules_.size(), 1u);
  EXPECT_EQ(rules_.back().electrodes, (std::vector<double>{95, 120.5}));

  Type(list, "95, 12O");
  EXPECT_EQ(list->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_EQ(rules_.size(), 1u);
  // The window refills with the rules it has: the list being mended stays as typed.
  LinePanelState state = State();
  state.rules.electrodes = {95, 120.5};
  panel_.Show(state);
  EXPECT_EQ(list->text(), "95, 12O");

  Type(list, "95 130");
  EXPECT_EQ(list->palette().color(QPalette::Text), normal);
  ASSERT_EQ(rules_.size(), 2u);
  EXPECT_EQ(rules_.back().electrodes, (std::vector<double>{95, 130}));
}

TEST_F(LinePanelTest, ShowFillsTheCountsAndKeepsTheUsersPlaceWithoutASignal) {
  LinePanelState state = State(30);
  state.modified = true;
  state.rules.max_error_pct = 4;
  state.rules.negative_rhoa = true;
  state.rules.electrodes = {95};
  auto& by_cause = state.counts.by_cause;
  by_cause[static_cast<int>(ExclusionCause::StackingError)] = 7;
  by_cause[static_cast<int>(ExclusionCause::NegativeRhoa)] = 3;
  by_cause[static_cast<int>(ExclusionCause::Electrode)] = 12;
  by_cause[static_cast<int>(ExclusionCause::ByHand)] = 2;
  by_cause[static_cast<int>(ExclusionCause::None)] = 3000 - 24;
  panel_.Show(state);
  EXPECT_FALSE(Emitted());
  EXPECT_EQ(Text("LineName"), "line.vln *");
  EXPECT_TRUE(Find<QCheckBox>("MaxErrorC")->isChecked());
  EXPECT_EQ(Find<QDoubleSpinBox>("MaxErrorE")->value(), 4);
  EXPECT_EQ(Find<QLineEdit>("ElectrodesE")->text(), "95");
  EXPECT_EQ(Text("MaxErrorCount"), "7");
  EXPECT_EQ(Text("NegativeRhoaCount"), "3");
  EXPECT_EQ(Text("ElectrodesCount"), "12");
  EXPECT_EQ(Text("MaxKCount"), "0");
  EXPECT_EQ(Text("LineSummary"), "Записей 3000, искл. 24, в экспорт 2976, вручную 2");

  by_cause[static_cast<int>(ExclusionCause::StackingError)] = 1;
  by_cause[static_cast<int>(ExclusionCause::None)] = 3000 - 18;
  panel_.Show(state);
  EXPECT_EQ(Text("MaxErrorCount"), "1");
  EXPECT_EQ(Text("LineSummary"), "Записей 3000, искл. 18, в экспорт 2982, вручную 2");

  // The table scrolled down and a value half typed survive a refill with the same state.
  auto* table = Find<QTableWidget>("LineSurveys");
  QApplication::processEvents();
  table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
  const int scrolled = table->verticalScrollBar()->value();
  ASSERT_GT(scrolled, 0);
  auto* k = Find<QDoubleSpinBox>("MaxErrorE");
  k->setFocus();
  QTest::keyClick(k, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(k, "12");
  auto* edit = k->findChild<QLineEdit*>();
  const QString typed = edit->text();
  const int caret = edit->cursorPosition();
  panel_.Show(state);
  EXPECT_EQ(table->verticalScrollBar()->value(), scrolled);
  EXPECT_TRUE(k->hasFocus());
  EXPECT_EQ(edit->text(), typed);
  EXPECT_EQ(edit->cursorPosition(), caret);
  EXPECT_FALSE(Emitted());

  panel_.Show(State());
  EXPECT_FALSE(Emitted()) << "rules, offsets and the tape set by the window are not the user's";
  EXPECT_EQ(table->rowCount(), 3);
  EXPECT_FALSE(Find<QCheckBox>("MaxErrorC")->isChecked());
}

TEST_F(LinePanelTest, AnOffsetEditedInTheTableEmitsItsSurvey) {
  auto* table = Find<QTableWidget>("LineSurveys");
  EXPECT_EQ(table->item(2, 0)->text(), "spread3.qmr");
  // The offset as the table draws it: to the millimetre, however long the line.
  LinePanelState state = State();
  state.surveys[2].offset_m = 1234.567;
  panel_.Show(state);
  const QModelIndex third = table->model()->index(2, 1);
  auto* delegate = qobject_cast<QStyledItemDelegate*>(table->itemDelegateForIndex(third));
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(delegate->displayText(third.data(), QLocale::c()), "1234.567");
  table->setCurrentCell(1, 1);
  table->editItem(table->item(1, 1));
  auto* editor = qobject_cast<QDoubleSpinBox*>(table->indexWidget(table->model()->index(1, 1)));
  ASSERT_NE(editor, nullptr);
  editor->setValue(45);  // its own value: closing the editor unchanged emits nothing
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the view commits the edit queued
  EXPECT_TRUE(offsets_.empty());

  table->editItem(table->item(1, 1));
  editor = qobject_cast<QDoubleSpinBox*>(table->indexWidget(table->model()->index(1, 1)));
  ASSERT_NE(editor, nullptr);
  editor->setValue(47.5);
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the view commits the edit queued
  ASSERT_EQ(offsets_.size(), 1u);
  EXPECT_EQ(offsets_.back(), std::make_pair(1, 47.5));
  EXPECT_EQ(table->item(1, 1)->data(Qt::EditRole).toDouble(), 47.5);
}

TEST_F(LinePanelTest, WhileBusyNothingThatChangesTheLineResponds) {
  for (const char* button : {"AddSurveysB", "TopographyB", "SaveLineB"})
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
  QTest::mouseClick(Find<QCheckBox>("TapeC"), Qt::LeftButton);
  EXPECT_EQ(asked_, QStringList({"add", "topography", "save", "tape"}));

  LinePanelState state = State();
  state.busy = true;
  panel_.Show(state);
  asked_.clear();
  for (const char* button : {"AddSurveysB", "TopographyB"})
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
  QTest::mouseClick(Find<QCheckBox>("TapeC"), Qt::LeftButton);
  QTest::mouseClick(Find<QCheckBox>("MaxErrorC"), Qt::LeftButton);
  EXPECT_FALSE(Emitted());
  for (const char* control : {"LineSurveys", "MaxErrorE", "MLowE", "MHighE", "ElectrodesE", "NegativeRhoaC"})
    EXPECT_FALSE(Find<QWidget>(control)->isEnabled()) << control;
  EXPECT_TRUE(Find<QPushButton>("SaveLineB")->isEnabled()) << "saving changes nothing of the line";

  state.busy = false;
  panel_.Show(state);
  QTest::mouseClick(Find<QCheckBox>("MaxErrorC"), Qt::LeftButton);
  EXPECT_EQ(rules_.size(), 1u);

  // A line keeps one survey at least, after a pass as before it.
  panel_.Show(State(1));
  Find<QTableWidget>("LineSurveys")->setCurrentCell(0, 0);
  EXPECT_FALSE(Find<QPushButton>("RemoveSurveyB")->isEnabled());
  LinePanelState one = State(1);
  one.busy = true;
  panel_.Show(one);
  one.busy = false;
  panel_.Show(one);
  EXPECT_FALSE(Find<QPushButton>("RemoveSurveyB")->isEnabled()) << "the last survey stays";
}

}  // namespace

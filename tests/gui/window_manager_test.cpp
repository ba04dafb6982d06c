// The views and a window manager: a view minimised goes alone, the window minimised takes
// its views along and brings them back. On the offscreen platform the window manager's
// part is skipped; tests/gui/with_window_manager.sh runs these on X11 with openbox.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "form_fixture.h"
#include "main/line_panel.h"
#include "views/decay_view.h"
#include "views/survey_view.h"

namespace {

class WindowManagerTest : public FormTest {
 protected:
  // The survey and decay views of an open survey, shown and placed.
  std::vector<QWidget*> OpenViews() {
    Open(Survey("s.qmr"));
    std::vector<QWidget*> views{form_->ShowSurveyView(), form_->ShowDecayView()};
    for (QWidget* view : views) EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
    return views;
  }
  // Lets the window manager answer until `done` holds, or a few seconds have passed.
  static bool Awaited(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }
};

TEST_F(WindowManagerTest, TheWindowTakesItsViewsAlongAndBringsThemBack) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const std::vector<QWidget*> views = OpenViews();
  form_->showMinimized();
  for (QWidget* view : views)
    EXPECT_TRUE(Awaited([view] { return view->isMinimized(); })) << view->objectName().toStdString();
  form_->showNormal();
  for (QWidget* view : views) {
    EXPECT_TRUE(Awaited([view] { return view->isVisible() && !view->isMinimized(); }))
        << view->objectName().toStdString();
  }
}

TEST_F(WindowManagerTest, AViewMinimisedGoesAlone) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs a window manager";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const std::vector<QWidget*> views = OpenViews();
  views[0]->showMinimized();
  ASSERT_TRUE(Awaited([&] { return views[0]->isMinimized(); }));
  QTest::qWait(300);  // what else the window manager does with it
  EXPECT_FALSE(form_->isMinimized());
  EXPECT_FALSE(views[1]->isMinimized());
  EXPECT_TRUE(views[1]->isVisible());
  Click("SurveyViewB");
  EXPECT_TRUE(Awaited([&] { return !views[0]->isMinimized() && views[0]->isVisible(); }));
}

// A dialog that stops the program (a file dialog, an error box) opens above the views.
TEST_F(WindowManagerTest, AModalDialogOpensAboveTheViews) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs a window manager";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const std::vector<QWidget*> views = OpenViews();
  QDialog dialog(form_.get());
  dialog.setStyleSheet("QDialog { background: #ff00ff; }");
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setGeometry(QRect(views[0]->geometry().center() - QPoint(100, 50), QSize(200, 100)));
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTest::qWait(300);  // what else the window manager does with it
  const QRect place = dialog.geometry();
  ASSERT_TRUE(place.intersects(views[0]->frameGeometry())) << "the dialog stands over a view";
  const QImage shot = form_->screen()->grabWindow(0, place.center().x() - 2, place.center().y() - 2, 5, 5).toImage();
  EXPECT_EQ(shot.pixelColor(2, 2), QColor(255, 0, 255)) << "the dialog is seen, not the view";
}

// Where the screen has room right of the survey view (1366 px), the decay view opens
// there, narrower than it would be, and the line's panel after it too: neither covers
// the section. (On a screen without that room they go over it: the offscreen one.)
TEST_F(WindowManagerTest, ViewsOpenRightOfTheSurveyViewWhereTheScreenHasRoom) {
  const QRect screen = form_->screen()->availableGeometry();
  if (screen.width() < 1300) GTEST_SKIP() << "needs room right of the survey view";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const SynthOptions spread{.blocks = 3, .channels = 4, .half_period = 100, .second_length = 100, .period_count = 2};
  const std::string s1 = Survey("s1.qmr", spread), s2 = Survey("s2.qmr", spread);
  Open(s1);
  QWidget* section = form_->ShowSurveyView();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(section));
  QWidget* decay = form_->ShowDecayView();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(decay));
  QTest::qWait(300);  // what else the window manager does with them
  EXPECT_FALSE(decay->frameGeometry().intersects(section->frameGeometry()))
      << decay->frameGeometry().x() << " over the section to " << section->frameGeometry().right();
  EXPECT_TRUE(screen.contains(decay->frameGeometry()));
  EXPECT_GE(decay->width(), 300);

  form_->SetLineDialog([=, this](QWidget*, const QString& kind) -> QStringList {
    if (kind == "save") return {QString::fromStdString(dir_.File("line.vln"))};
    if (kind == "surveys") return {QString::fromStdString(s2)};
    return {};
  });
  QMenu* menu = Control<QToolButton>("LineB")->menu();
  emit menu->aboutToShow();
  for (QAction* action : menu->actions())
    if (action->text() == "Новый профиль из этой съёмки…") action->trigger();
  WaitForPass();
  QWidget* panel = form_->ShowLinePanel();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
  QTest::qWait(300);
  EXPECT_FALSE(panel->frameGeometry().intersects(section->frameGeometry()))
      << panel->frameGeometry().x() << " over the section to " << section->frameGeometry().right();
  EXPECT_TRUE(screen.contains(panel->frameGeometry()));
}

}  // namespace

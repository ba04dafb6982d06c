#pragma once
// The real window on the offscreen platform, driven through its controls.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <memory>

#include "chart/chart.h"
#include "core/test_support.h"
#include "main/main_form.h"
#include "synthetic/synthetic_survey.h"

// What the user sees of a widget, as rendered now.
QImage Picture(QWidget* widget);
// Pixels of text drawn in the window-text colour (dark and grey, antialiased) within area.
int TextPixels(const QImage& image, QRect area);
// The texts an SVG file draws, in the order drawn; SvgText joins them (the file writes
// a text in pieces where its letters come from different fonts).
QStringList SvgTexts(const std::string& path);
inline QString SvgText(const std::string& path) { return SvgTexts(path).join(""); }
// How many pixels of `axis` lie between the value and the nearer end of the axis.
double PixelsInside(ChartAxis& axis, double value, bool logarithmic = false);

class SurveyView;
// Fixes the colour scale of the survey view's quantity on show as the user types it.
void ChooseFixedScale(SurveyView* view, const QString& low, const QString& high);

// Captures what goes through the window's message seam while it lives.
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  std::vector<std::string> messages_;
  std::function<void(const std::string&)> previous_;
};

class FormTest : public ::testing::Test {
 protected:
  FormTest();
  ~FormTest() override;

  template <class Widget>
  Widget* Control(const char* name) {
    auto* widget = form_->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const char* name);
  // The survey the tests open: 3 blocks of 4 channels, S = 800, unless told otherwise.
  std::string Survey(const std::string& name, SynthOptions options = SmallSurvey());
  static SynthOptions SmallSurvey();

  // Chooses `path` in the file dialog, or cancels it for an empty path.
  void Open(const std::string& path);
  void Click(const char* button);
  // Lets the window run until the pass over all records under way is over, as a user
  // waits for the progress bar to go.
  void WaitForPass();
  void TypeRecordNumber(const QString& text);
  int RecordOnShow();
  // The widget of a chart that receives the mouse.
  QWidget* PlotOf(Chart* chart);

  TempDir dir_;
  MessageRecorder messages_;
  std::unique_ptr<TMainForm> form_;
  std::vector<int> shown_;  // records loaded with display on, in order
};

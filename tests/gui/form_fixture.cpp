#include "form_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <cmath>

#include "chart/message_sink.h"
#include "vari.h"
#include "views/survey_view.h"

FormTest::FormTest() {
  vari = Vari{};
  QSettings().clear();
  form_ = std::make_unique<TMainForm>();
  form_->SetDecimalSeparator(".");
  form_->resize(1000, 745);
  form_->show();
  QObject::connect(form_.get(), &TMainForm::RecordShown, [this](int k) { shown_.push_back(k); });
}

FormTest::~FormTest() {
  form_.reset();
  vari = Vari{};
}

MessageRecorder::MessageRecorder() {
  previous_ = SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
}

MessageRecorder::~MessageRecorder() { SetMessageSink(previous_); }

QString FormTest::Text(const char* name) {
  if (auto* edit = form_->findChild<QLineEdit*>(name)) return edit->text();
  if (auto* label = form_->findChild<QLabel*>(name)) return label->text();
  ADD_FAILURE() << "no text control " << name;
  return {};
}

SynthOptions FormTest::SmallSurvey() {
  return {.blocks = 3, .channels = 4, .half_period = 100, .second_length = 100, .period_count = 2};
}

std::string FormTest::Survey(const std::string& name, SynthOptions options) {
  std::string path = dir_.File(name);
  WriteSyntheticSurvey(path, options);
  return path;
}

void FormTest::Open(const std::string& path) {
  form_->SetOpenDialog([path](QWidget*) { return QString::fromStdString(path); });
  Click("OpenB");
}

void FormTest::Click(const char* button) {
  QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
  WaitForPass();
}

void FormTest::WaitForPass() {
  auto* progress = Control<QProgressBar>("ProgressBar1");
  QElapsedTimer waited;
  waited.start();
  while (progress->isVisible() && waited.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_FALSE(progress->isVisible()) << "the pass never ended";
}

void FormTest::TypeRecordNumber(const QString& text) {
  auto* number = Control<QLineEdit>("lNumber");
  number->clear();
  QTest::keyClicks(number, text);
  QTest::keyClick(number, Qt::Key_Return);
}

int FormTest::RecordOnShow() { return Control<QSlider>("TrackBar1")->value() + 1; }

QImage Picture(QWidget* widget) {
  QApplication::processEvents();
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int TextPixels(const QImage& image, QRect area) {
  int count = 0;
  for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y)
    for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
      QColor c = image.pixelColor(x, y);
      bool neutral = std::abs(c.red() - c.green()) < 24 && std::abs(c.green() - c.blue()) < 24;
      if (neutral && c.value() < 150) ++count;
    }
  return count;
}

QStringList SvgTexts(const std::string& path) {
  const auto bytes = ReadWholeFile(path);
  const QString svg = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  QStringList texts;
  static const QRegularExpression text("<text[^>]*>([^<]*)</text>");
  for (auto it = text.globalMatch(svg); it.hasNext();)
    texts << it.next().captured(1).replace("&gt;", ">").replace("&lt;", "<").replace("&amp;", "&");
  return texts;
}

double PixelsInside(ChartAxis& axis, double value, bool logarithmic) {
  auto scale = [logarithmic](double v) { return logarithmic ? std::log(v) : v; };
  const double per_pixel = std::abs(scale(axis.ValueAtPixel(1)) - scale(axis.ValueAtPixel(0)));
  const double inside = std::min(scale(value) - scale(axis.Minimum()), scale(axis.Maximum()) - scale(value));
  return inside / per_pixel;
}

QWidget* FormTest::PlotOf(Chart* chart) { return chart->findChildren<QWidget*>().value(0); }

void ChooseFixedScale(SurveyView* view, const QString& low, const QString& high) {
  auto* mode = view->findChild<QComboBox*>("ScaleModeBox");
  mode->setCurrentIndex(1);
  emit mode->activated(1);
  for (auto [name, text] : {std::pair{"ScaleLowEdit", low}, std::pair{"ScaleHighEdit", high}}) {
    auto* edit = view->findChild<QLineEdit*>(name);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
}

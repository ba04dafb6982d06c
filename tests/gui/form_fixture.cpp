#include "form_fixture.h"

#include <QApplication>
#include <QTest>

#include "main/message_sink.h"
#include "vari.h"

FormTest::FormTest() {
  vari = Vari{};
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

void FormTest::Click(const char* button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }

void FormTest::TypeRecordNumber(const QString& text) {
  auto* number = Control<QLineEdit>("lNumber");
  number->clear();
  QTest::keyClicks(number, text);
  QTest::keyClick(number, Qt::Key_Return);
}

int FormTest::RecordOnShow() { return Control<QSlider>("TrackBar1")->value() + 1; }

QWidget* FormTest::PlotOf(Chart* chart) { return chart->findChildren<QWidget*>().value(0); }

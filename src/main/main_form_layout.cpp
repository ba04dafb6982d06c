// The window as the form defines it: every control, its text, position, size, font,
// colour and tab order, the charts and their series, and the event wiring.

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "main/control_strip.h"
#include "main/guarded.h"
#include "main/line_panel.h"
#include "main/main_form.h"
#include "main/owned_view.h"
#include "main/recent_surveys.h"
#include "views/record_charts.h"

namespace {

constexpr int Panel1Height = 145;
constexpr int Chart2Height = 70;
constexpr int SplitterHeight = 3;
constexpr uint32_t White = 0xFFFFFF, Fuchsia = 0xFF00FF;

// Tahoma where it is installed, otherwise the closest sans-serif.
QFont FormFont(int pixel_size, bool bold = false) {
  QFont font;
  font.setFamilies({"Tahoma", "DejaVu Sans", "Liberation Sans", "Arial"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(name);
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* AutoSizeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* edit = Place(new QLineEdit(parent), name, left, top, width, height);
  edit->setReadOnly(true);
  return edit;
}

// A check box keeps its designed place, but never cuts its own caption short.
QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height) {
  auto* box = Place(new QCheckBox(text, parent), name, left, top, width, height);
  box->resize(std::max(width, box->sizeHint().width()), height);
  return box;
}

// A button that is down while its view is on. A press switches the view off where it is
// seen, and brings it back where it was put away (minimised); closing the view switches
// it off too.
class ViewSwitch : public QPushButton {
 public:
  ViewSwitch(const QString& text, QWidget* parent, std::function<QWidget*()> view)
      : QPushButton(text, parent), view_(std::move(view)) {
    setCheckable(true);
  }

 protected:
  void nextCheckState() override {
    const QWidget* view = view_();
    setChecked(!isChecked() || !view || !view->isVisible() || view->isMinimized());
  }

 private:
  std::function<QWidget*()> view_;
};

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
  setObjectName("MainForm");
  setWindowTitle(Caption);
  setFont(FormFont(11));
  decimal_separator_ = QLocale::system().decimalPoint().toStdString();
  resize(843, 385);
  CreateControls();
  WireEvents();
  SetTabOrder();
}

// The children outlive this object's own part of the destruction; none of their
// signals (a chart losing the focus, say) may reach the handlers after it.
TMainForm::~TMainForm() {
  for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void TMainForm::CreateControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  CreatePanel1();
  layout->addWidget(Panel1);
  CreateCharts();
  CreateResistivityControls();
  layout->addWidget(Splitters, 1);
  CreateSeries();
  CreateLineControls();
}

void TMainForm::CreatePanel1() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(1);
  Panel1->setFixedHeight(Panel1Height);

  OpenB = Place(new QPushButton(tr("Открыть файл"), Panel1), "OpenB", 0, 0, 97, 25);
  SaveB = Place(new QPushButton(tr("Запись файл"), Panel1), "SaveB", 1, 31, 97, 25);
  AutoSaveBox = CheckBox(Panel1, "AutoSaveBox", tr("АвтоЗапись"), 104, 46, 84, 17);

  lNumber = Place(new QLineEdit("1234", Panel1), "lNumber", 130, 16, 72, 27);
  lNumber->setFont(FormFont(16, true));
  auto* number_label = new QLabel("N=", Panel1);
  number_label->setObjectName("lNumberLabel");
  number_label->setFont(FormFont(15));
  number_label->adjustSize();
  number_label->move(130 - number_label->width() - 3, 16 + (27 - number_label->height()) / 2);

  Label1 = AutoSizeLabel(Panel1, "Label1", "n", 208, 43);
  Label1->setFont(FormFont(16, true));
  Label1->adjustSize();

  LCurrent = ReadOnlyEdit(Panel1, "LCurrent", 208, 21, 121, 21);
  AutoSizeLabel(Panel1, "LCurrentLabel", tr("Ток, мА"), 208, 5);
  lVoltage = ReadOnlyEdit(Panel1, "lVoltage", 352, 21, 121, 21);
  AutoSizeLabel(Panel1, "lVoltageLabel", tr("Напряжение, мВ"), 352, 5);
  Label2 = AutoSizeLabel(Panel1, "Label2", tr("t рабочее (полупериод)"), 479, 5);
  Edit1 = ReadOnlyEdit(Panel1, "Edit1", 479, 21, 121, 21);

  CheckB = Place(new QPushButton(tr("Проверить файл"), Panel1), "CheckB", 616, 0, 146, 25);
  AbsBox = CheckBox(Panel1, "AbsBox", tr("Модуль dU"), 624, 31, 97, 17);
  SignBox = CheckBox(Panel1, "SignBox", tr("Перевернуть dU"), 727, 31, 114, 17);

  // The track bar and Panel2 span the panel's width at its bottom, inside its border.
  auto* bottom = new QVBoxLayout(Panel1);
  bottom->setContentsMargins(1, 1, 1, 1);
  bottom->setSpacing(0);
  bottom->addStretch(1);
  TrackBar1 = new QSlider(Qt::Horizontal, Panel1);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setTickPosition(QSlider::TicksBothSides);
  TrackBar1->setFixedHeight(45);
  TrackBar1->setRange(0, 10);
  bottom->addWidget(TrackBar1);

  Panel2 = new QFrame(Panel1);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel2->setFixedHeight(31);
  auto* inside = new QGridLayout(Panel2);
  inside->setContentsMargins(1, 1, 1, 1);
  Panel2Caption = new QLabel(Panel2);
  Panel2Caption->setObjectName("Panel2Caption");
  Panel2Caption->setAlignment(Qt::AlignCenter);
  // A summary line wider than the screen must not make the window wider: a window kept
  // from its maximised width by its minimum is put back to its normal size by the
  // window manager.
  Panel2Caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ProgressBar1 = new QProgressBar(Panel2);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->hide();
  inside->addWidget(Panel2Caption, 0, 0);
  inside->addWidget(ProgressBar1, 0, 0);
  bottom->addWidget(Panel2);
}

// Right of the designed controls, above the track bar; what has no room there on a
// narrow screen is offered in the strip's menu.
void TMainForm::CreateResistivityControls() {
  constexpr int StripLeft = 850, StripBottom = 68;
  Strip = new ControlStrip(Panel1, StripLeft, StripBottom);
  ResistivityLabel = new QLabel(Panel1);
  ResistivityLabel->setObjectName("ResistivityLabel");
  Strip->SetLine(ResistivityLabel);
  CancelB = Place(new QPushButton(tr("Отмена"), Panel1), "CancelB", 0, 0, 64, 25);
  Strip->AddAfterRow(CancelB);
  ExportFormatBox = Place(new QComboBox(Panel1), "ExportFormatBox", 0, 0, 72, 25);
  ExportFormatBox->addItems({"csv", "ohm", "res2dinv"});
  ExportFormatBox->resize(std::max(ExportFormatBox->width(), ExportFormatBox->sizeHint().width()), 25);
  ExportB = Place(new QPushButton(tr("Экспорт"), Panel1), "ExportB", 0, 0, 64, 25);
  Strip->Add({ExportFormatBox, ExportB}, [this](QMenu& menu) {
    QMenu* formats = menu.addMenu(ExportB->text());
    formats->setEnabled(ExportB->isEnabled());
    for (int i = 0; i < ExportFormatBox->count(); ++i)
      formats->addAction(ExportFormatBox->itemText(i), this, [this, i] {
        ExportFormatBox->setCurrentIndex(i);
        ExportB->click();
      });
  });
  RecentB = Place(new QToolButton(Panel1), "RecentB", 0, 0, 84, 25);
  RecentB->setText(tr("Недавние"));
  RecentB->setPopupMode(QToolButton::InstantPopup);
  RecentB->setMenu(new QMenu(RecentB));
  Strip->Add({RecentB}, ControlStrip::MenuOffer(RecentB));
  SurveyViewB = Place(new QPushButton(tr("Разрез"), Panel1), "SurveyViewB", 0, 0, 64, 25);
  Strip->Add({SurveyViewB}, ControlStrip::ButtonOffer(SurveyViewB));
  DecayB = Place(new ViewSwitch(tr("Спад ВП"), Panel1, [this] { return DecayWindow; }), "DecayB", 0, 0, 72, 25);
  Strip->Add({DecayB}, ControlStrip::ButtonOffer(DecayB));
  ExportFolderB = Place(new QToolButton(Panel1), "ExportFolderB", 0, 0, 64, 25);
  ExportFolderB->setText(tr("Папка"));
  ExportFolderB->setPopupMode(QToolButton::InstantPopup);
  ExportFolderB->setMenu(new QMenu(ExportFolderB));
  Strip->Add({ExportFolderB}, ControlStrip::MenuOffer(ExportFolderB));
  Passes = new PassRunner(this);
  // Esc stops the pass under way in whichever of the program's windows has the keys, the
  // views too: the key belongs to the progress bar, which is shown exactly while a pass runs.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), ProgressBar1);
  escape->setContext(Qt::ApplicationShortcut);
  connect(escape, &QShortcut::activated, Passes, &PassRunner::Cancel);
  // A window of its own, so that the views above the window never hide it.
  Notice = new QLabel(this, Qt::ToolTip);
  Notice->setObjectName("NoticeLabel");
  Notice->setStyleSheet("QLabel { background: #FFFFE1; border: 1px solid #808080; padding: 3px; }");
  Notice->hide();
  Notice->installEventFilter(this);
  NoticeTimer = new QTimer(this);
  NoticeTimer->setSingleShot(true);
  connect(NoticeTimer, &QTimer::timeout, Notice, &QLabel::hide);
  setAcceptDrops(true);
  UpdateRecentMenu();
  UpdateExportFolderMenu();
}

void TMainForm::UpdateRecentMenu() {
  QMenu* menu = RecentB->menu();
  menu->clear();
  for (const QString& path : RecentSurveys().List())
    menu->addAction(path, this, [this, path] { Guarded([&] { OpenRecentSurvey(path); }); });
  RecentB->setEnabled(!menu->isEmpty());
}

// A survey moved or deleted since leaves the list, with the open's own message.
void TMainForm::OpenRecentSurvey(const QString& path) {
  try {
    OpenAnyFile(path);
  } catch (const std::exception& error) {
    if (QFileInfo::exists(path)) throw;
    RecentSurveys().Remove(path);
    UpdateRecentMenu();
    ShowErrorBox(
        (QString::fromUtf8(error.what()) + "\n" + tr("%1 убран из списка недавних").arg(path)).toUtf8().constData());
  }
}

// A short message over a corner of the charts, above the views but clear of them, gone
// after a while or at a click.
void TMainForm::ShowNotice(const QString& text) {
  constexpr int ShownMs = 8000, Margin = 8;
  // Each line shortened in its middle alone, so that a second line is never lost.
  QStringList lines = text.split('\n');
  for (QString& line : lines) line = Notice->fontMetrics().elidedText(line, Qt::ElideMiddle, width() / 2);
  Notice->setText(lines.join('\n'));
  Notice->adjustSize();
  // Within the charts, and clear of the views over them where a corner is.
  Notice->move(PlaceClearOfViews(Notice->size(), QRect(Splitters->mapToGlobal(QPoint(0, 0)), Splitters->size()),
                                 {SurveyWindow, DecayWindow}, Margin));
  Notice->show();
  Notice->raise();
  NoticeTimer->start(ShownMs);
}

void TMainForm::OpenFromCommandLine(const QString& name) {
  Guarded([&] { OpenAnyFile(name); });
}

void TMainForm::ShowAtStart(const QString& survey) {
  // Restored from maximised, the window keeps room for the controls beside the panel:
  // the designed panel alone is 850 px wide. Never more than the screen, which would
  // keep a window manager from maximising it.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  setMinimumSize(std::min(screen.width(), 1000), std::min(screen.height(), 560));
  resize(std::min(screen.width(), 1280), std::min(screen.height(), 800));
  showMaximized();
  if (!survey.isEmpty()) OpenFromCommandLine(survey);
}

namespace {

// The measurement files and lines among the dropped ones.
QStringList DroppedSurveys(const QMimeData* data) {
  QStringList surveys;
  if (!data || !data->hasUrls()) return surveys;
  for (const QUrl& url : data->urls()) {
    const QString file = url.toLocalFile();
    if (url.isLocalFile() && (file.endsWith(".qmr", Qt::CaseInsensitive) || file.endsWith(".vln", Qt::CaseInsensitive)))
      surveys << file;
  }
  return surveys;
}

}  // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedSurveys(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QStringList surveys = DroppedSurveys(event->mimeData());
  if (surveys.isEmpty()) return;
  event->acceptProposedAction();
  Guarded([&] { OpenAnyFile(surveys.first()); });
}

void TMainForm::CreateCharts() {
  Splitters = new QSplitter(Qt::Vertical, this);
  Splitters->setObjectName("Splitters");
  Splitters->setHandleWidth(SplitterHeight);
  Splitters->setChildrenCollapsible(false);

  Chart2 = new Chart(Splitters);
  Chart2->setObjectName("Chart2");
  Chart2->setFocusPolicy(Qt::NoFocus);
  Chart2->SetTitle(tr("Ошибка, %"));
  Chart2->SetTitleVisible(true);
  Chart2->LeftAxis().SetLogarithmic(2.71828182845905);
  Chart2->LeftAxis().SetVisible(false);
  Chart2->LeftAxis().SetLabels(false);
  Chart2->LeftAxis().SetTitle(tr("Точность,%"));
  Chart2->TopAxis().SetTitle(tr("Точность,%"));
  Chart2->TopAxis().SetVisible(false);

  Chart1 = new Chart(Splitters);
  Chart1->setObjectName("Chart1");
  Chart1->setFocusPolicy(Qt::ClickFocus);
  Chart1->LeftAxis().SetTitle(tr("Ток, мА"));
  Chart1->SetZoomPenColour(ToolkitColour(Fuchsia));

  ChartVoltage = new Chart(Splitters);
  ChartVoltage->setObjectName("ChartVoltage");
  ChartVoltage->setFocusPolicy(Qt::StrongFocus);
  ChartVoltage->LeftAxis().SetTitle(tr("Напряжение,  мВ"));
  ChartVoltage->SetBackWallColour(ToolkitColour(White));
  ChartVoltage->SetZoomPenColour(ToolkitColour(Fuchsia));

  Splitters->setSizes({Chart2Height, 100, 100});
  Splitters->handle(1)->setObjectName("Splitter2");
  Splitters->handle(2)->setObjectName("Splitter1");
}

void TMainForm::CreateSeries() {
  using Kind = Chart::SeriesKind;
  const RecordSeries record = AddRecordSeries(*Chart1, *ChartVoltage);
  Series1 = record.current;
  ProcISeries = record.current_means;
  VoltSeries = record.voltage;
  ProcVSeries = record.voltage_means;
  DoneSeries = record.square_wave;
  // Either record chart is saved with the other, under the record's title.
  for (Chart* chart : {Chart1, ChartVoltage})
    chart->SetPicture([this] { return ChartPicture{{Chart1, ChartVoltage}, {RecordOnShowTitle()}}; });
  ErSeries = &Chart2->AddSeries({.kind = Kind::Points, .marker_half_size = 2, .marker_outline = false});
  SeriesPos = &Chart2->AddSeries({.kind = Kind::Points,
                                  .colour = ToolkitColour(Fuchsia),
                                  .marker_half_size = 3,
                                  .marker_outline = false,
                                  .transparency_pct = 2,
                                  .scales_bottom_axis = false});
}

void TMainForm::WireEvents() {
  connect(OpenB, &QPushButton::clicked, this, [this] { Guarded([this] { OpenBClick(); }); });
  connect(SaveB, &QPushButton::clicked, this, [this] { Guarded([this] { SaveBClick(); }); });
  connect(ExportB, &QPushButton::clicked, this, [this] { Guarded([this] { ExportBClick(); }); });
  connect(CancelB, &QPushButton::clicked, this, [this] { Passes->Cancel(); });
  connect(SurveyViewB, &QPushButton::clicked, this, [this] { Guarded([this] { SurveyViewBClick(); }); });
  connect(DecayB, &QPushButton::toggled, this, [this](bool on) { Guarded([&] { DecayBToggled(on); }); });
  connect(DecayB, &QPushButton::clicked, this, [this] { Guarded([this] { DecayBClick(); }); });
  connect(Passes, &PassRunner::Ticked, this,
          [this](int done, int total) { Guarded([&] { PassTicked(done, total); }); });
  connect(Passes, &PassRunner::Finished, this,
          [this](const QString& failure, bool cancelled) { Guarded([&] { PassFinished(failure, cancelled); }); });
  connect(AutoSaveBox, &QCheckBox::toggled, this, [this] { Guarded([this] { AutoSaveBoxClick(); }); });
  connect(CheckB, &QPushButton::clicked, this, [this] { Guarded([this] { CheckBClick(); }); });
  for (QCheckBox* box : {SignBox, AbsBox})
    connect(box, &QCheckBox::toggled, this, [this] { Guarded([this] { SignOptionChanged(); }); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { Guarded([this] { TrackBar1Change(); }); });
  lNumber->installEventFilter(this);
  TrackBar1->installEventFilter(this);
  connect(Chart2, &Chart::MousePressed, this,
          [this](Qt::MouseButton button, int x, int y) { Guarded([&] { Chart2MouseDown(button, x, y); }); });
  connect(Chart2, &Chart::DoubleClicked, this, [this] { Guarded([this] { Chart2DblClick(); }); });

  for (Chart* chart : {Chart1, ChartVoltage}) {
    connect(chart, &Chart::Clicked, this, [this, chart] { Guarded([&] { ChartVoltageClick(chart); }); });
    connect(chart, &Chart::DoubleClicked, this, [this, chart] { Guarded([&] { ChartVoltageDblClick(chart); }); });
    connect(chart, &Chart::FocusEntered, this, [this, chart] { Guarded([&] { ChartVoltageEnter(chart); }); });
    connect(chart, &Chart::FocusLeft, this, [this, chart] { Guarded([&] { ChartVoltageExit(chart); }); });
    connect(chart, &Chart::Wheel, this,
            [this, chart](int delta, QPoint position, Qt::KeyboardModifiers modifiers, bool* handled) {
              Guarded([&] { ChartVoltageMouseWheel(chart, delta, position, modifiers, *handled); });
            });
  }
  connect(Chart1, &Chart::MouseMoved, this, [this](int x, int y) { Guarded([&] { Chart1MouseMove(x, y); }); });
  connect(ChartVoltage, &Chart::MouseMoved, this,
          [this](int x, int y) { Guarded([&] { ChartVoltageMouseMove(x, y); }); });
  connect(Chart1, &Chart::MouseLeft, this, [this] { Guarded([this] { Chart1MouseLeave(); }); });
  connect(ChartVoltage, &Chart::MouseLeft, this, [this] { Guarded([this] { ChartVoltageMouseLeave(); }); });
}

void TMainForm::SetTabOrder() {
  QWidget* order[] = {OpenB,  LCurrent, lVoltage, TrackBar1,    Edit1,           lNumber, SaveB,  AutoSaveBox,
                      CheckB, AbsBox,   SignBox,  ChartVoltage, ExportFormatBox, ExportB, RecentB};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Notice && event->type() == QEvent::MouseButtonPress) Notice->hide();
  // Below 200 records the bar's page (its tick spacing) is 0: PageUp and PageDown still
  // step through the records, ten at a time.
  if (watched == TrackBar1 && event->type() == QEvent::KeyPress && TrackBar1->pageStep() == 0) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      constexpr int RecordsPerPage = 10;
      // As the bar's own page keys: PageUp towards the end of a horizontal bar.
      TrackBar1->setValue(TrackBar1->value() + (key == Qt::Key_PageUp ? RecordsPerPage : -RecordsPerPage));
      return true;
    }
  }
  if (watched == lNumber && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    bool swallow = false;
    Guarded([&] { lNumberKeyPress(key->key(), swallow); });
    return swallow;
  }
  return QWidget::eventFilter(watched, event);
}

// The views are kept above the program rather than this window (owned_view.cpp), so a
// window manager minimises them alone: minimising the window takes them along here.
void TMainForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  if (isMinimized()) {
    for (QWidget* view : std::initializer_list<QWidget*>{SurveyWindow, DecayWindow, LinePanelWindow})
      if (view && view->isVisible() && !view->isMinimized()) {
        views_put_away_.push_back(view);
        view->showMinimized();
      }
  } else {
    for (QWidget* view : std::exchange(views_put_away_, {})) {
      view->setWindowState(view->windowState() & ~Qt::WindowMinimized);
      view->show();
    }
  }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Guarded([this] { FormResize(); });
}

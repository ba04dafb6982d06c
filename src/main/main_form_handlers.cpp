// The open sequence, navigation between records, the export and the resize rule.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QToolButton>
#include <filesystem>

#include "main/control_strip.h"
#include "main/guarded.h"
#include "main/integer_text.h"
#include "main/language.h"
#include "main/line_panel.h"
#include "main/main_form.h"
#include "main/message_box.h"
#include "main/recent_surveys.h"
#include "measurement/in_out_error.h"
#include "measurement/survey_refusal.h"
#include "output/table_export.h"
#include "processing/record_evaluation.h"
#include "vari.h"

namespace {

constexpr int Chart2Height = 70;

constexpr const char* ExportFolderKey = "export/folder";

// The folder the window's exports go to; empty for the survey's own.
QString ExportFolder() { return QSettings().value(ExportFolderKey).toString(); }

QString RunFolderDialog(QWidget* parent, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, TMainForm::tr("Папка экспорта"), start);
}

QString RunOpenDialog(QWidget* parent, const QString& folder) {
  QFileDialog dialog(parent);
  dialog.setNameFilter(TMainForm::tr("Съёмки (*.qmr)"));
  dialog.setDefaultSuffix("QMR");
  dialog.setDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

// One value for the page size and the tick spacing: RecordCount div 40 rounded up to
// a multiple of 25, and 0 below 200 records.
int TrackBarStep(int32_t record_count) {
  if (record_count >= 200) return ((record_count / 40) + 24) / 25 * 25;
  return ((record_count / 40) / 5) * 5;
}

}  // namespace

void TMainForm::OpenBClick() {
  QString name = open_dialog_ ? open_dialog_(this) : RunOpenDialog(this, RecentSurveys().LastFolder());
  if (name.isEmpty()) return;
  OpenSurveyFile(name);
}

// The one open sequence, whatever chose the file: the dialog, the command line, a drop
// or the recent list. The survey goes by its full name, as the dialog gives it.
void TMainForm::OpenSurveyFile(const QString& given) {
  if (Passes->Running()) return;  // the pass reads the open survey's file
  const QString name = QFileInfo(given).absoluteFilePath();
  const std::string file = name.toStdString();
  // A survey that cannot be opened leaves the one on show as it was, its name included:
  // so does a file that is no survey, named for what it is, and a survey without a record.
  OpenedSurvey opened;
  try {
    RefuseNonSurvey(file);
    try {
      opened = OpenSurvey(file);
    } catch (const InOutError& error) {
      throw SurveyOpenError(file, error);
    }
    RefuseSurveyHeader(*opened.survey);
  } catch (const std::exception& error) {
    throw std::runtime_error(file + ": " + error.what());
  }
  if (opened.survey->RecordCount <= 0) {
    QString text = tr("%1: съёмка не открыта: в ней нет ни одной записи").arg(name);
    for (const std::string& warning : opened.report.warnings) text += "\n" + CoreMessageText(warning);
    throw std::runtime_error(text.toStdString());
  }
  TakeSurvey(vari, std::move(opened.survey));
  setWindowTitle(CaptionFor(name));
  const IndexReport report = std::move(opened.report);
  index_warnings_.clear();
  for (const std::string& warning : report.warnings) {
    ShowErrorBox(CoreMessageText(warning).toUtf8().constData());
    index_warnings_ << CoreMessageText(warning).replace("\n\r", "\n");
  }
  if (keeps_settings_) RecentSurveys().Add(name);
  UpdateRecentMenu();

  TrackBar1->setMinimum(0);
  // A survey without records leaves the bar on its one position 0 instead of a range below it.
  TrackBar1->setMaximum(std::max(vari.survey->RecordCount - 1, 0));
  TrackBar1->setValue(0);
  int step = TrackBarStep(vari.survey->RecordCount);
  TrackBar1->setPageStep(step);
  TrackBar1->setTickInterval(step);
  Edit1->setText(QString("N=%1   n=%2").arg(vari.survey->RecordCount).arg(vari.survey->BlockCount));
  ResetErrorChart();
  ResetGates();
  if (vari.survey->RecordCount <= 0) return;

  LoadRecord(1, true);
  vari.FileLoaded = true;
  // The keys walk the records from the first look on.
  if (!lNumber->hasFocus()) TrackBar1->setFocus(Qt::OtherFocusReason);
  Label2->setText(QString("%1 (%2)").arg(vari.survey->WindowLen).arg(vari.survey->HalfPeriod));
  Label2->adjustSize();
  if (AutoSaveBox->isChecked()) SaveBClick();
}

QString TMainForm::CaptionFor(const QString& survey) const {
  if (!line_) return survey;
  return tr("%1 — профиль %2").arg(survey, QFileInfo(QString::fromStdString(line_->Path())).fileName());
}

void TMainForm::ShowCaption() {
  if (vari.FileLoaded) setWindowTitle(CaptionFor(QString::fromStdString(vari.survey->DataFileName)));
}

void TMainForm::TrackBar1Change() {
  if (!vari.FileLoaded) return;
  LoadRecord(TrackBar1->value() + 1, true);
  MoveRecordMarker();
}

void TMainForm::lNumberKeyPress(int key, bool& swallow) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  swallow = true;
  // A number refused keeps the field's keys, selected, to be typed over.
  if (!GoBClick()) return lNumber->selectAll();
  // The number is given: the keys are the record's again (Delete, undo, the arrows), not
  // the field's, whose own keys come back when it is clicked to be edited.
  TrackBar1->setFocus(Qt::OtherFocusReason);
}

bool TMainForm::GoBClick() {
  if (!vari.FileLoaded) return true;
  const QString typed = lNumber->text();
  std::optional<int32_t> v = IntegerFromText(typed.toStdString());
  if (v && *v >= 1 && *v <= vari.survey->RecordCount) {
    GoToRecord(*v);
    return true;
  }
  // No such record: the record on show stays, and so does what was typed, as ever; a
  // notice says which records there are.
  if (!typed.trimmed().isEmpty())
    ShowNotice(tr("Записи «%1» нет: номера записей 1..%2").arg(typed.trimmed()).arg(vari.survey->RecordCount));
  return false;
}

void TMainForm::GoToRecord(int k) {
  if (!vari.FileLoaded || k < 1 || k > vari.survey->RecordCount) return;
  if (TrackBar1->value() == k - 1) return;
  TrackBar1->setValue(k - 1);
}

void TMainForm::SaveBClick() { RunExport({}); }

void TMainForm::ExportBClick() {
  auto format = ExportFormatNamed(ExportFormatBox->currentText().toStdString());
  if (!format) return;
  // With a line open, its files: every survey, with the topography and the exclusions.
  if (line_) return ExportOpenLine(*format);
  ExportOptions options{.format = *format};
  if (const IpSettings* ip = ActiveIp()) options.ip = *ip;
  RunExport(options);
}

// The export runs beside the window; stopped half-way it leaves the old file as it was.
void TMainForm::RunExport(const ExportOptions& chosen) {
  if (vari.survey->RecordCount < 1) throw std::runtime_error(tr("Нет записей для экспорта").toStdString());
  if (Passes->Running()) return;
  ExportOptions options = chosen;
  options.folder = ExportFolder().toStdString();
  auto report = std::make_shared<ExportReport>();
  const RecordOptions record_options = CurrentRecordOptions();
  pass_stopped_notice_ = ExportStoppedNotice(ExportFileName(vari.survey->DataFileName, options));
  StartPass(
      [options, record_options, report](const Survey& survey, const Progress& progress) {
        try {
          *report = ExportSurvey(survey, options, record_options, progress);
        } catch (const InOutError& error) {
          if (error.code() != InOutError::AccessDenied) throw;
          throw std::runtime_error(tr("Нет доступа на запись: %1\nЭкспорт можно направить в другую папку: "
                                      "«Папка» → «Другая папка…».")
                                       .arg(QString::fromStdString(ExportFileName(survey.DataFileName, options)))
                                       .toStdString());
        }
      },
      [this, report, decay = options.decay, ip = options.ip.has_value()] {
        const QString file = QFileInfo(QString::fromStdString(report->file)).absoluteFilePath();
        QString notice =
            tr("Записан %1: записей %2").arg(file).arg(report->written) + LeftOutText(report->left_out, decay, ip);
        // A survey cut short or damaged gives a short table: the notice says so again.
        if (!index_warnings_.isEmpty()) notice += "\n" + tr("Съёмка неполна: %1").arg(index_warnings_.join("\n"));
        ShowNotice(notice);
      });
}

QString TMainForm::LeftOutText(int left_out, bool decay, bool ip) {
  if (left_out <= 0) return {};
  // A line of its own: a long file name shortened in the notice never hides it.
  return "\n" + tr("Пропущено записей: %1 (%2)")
                    .arg(left_out)
                    .arg(decay ? tr("нет целой подгонки спада")
                         : ip  ? tr("нет K, значения или M")
                               : tr("нет K или значения"));
}

void TMainForm::UpdateExportFolderMenu() {
  const QString folder = ExportFolder();
  QMenu* menu = ExportFolderB->menu();
  menu->clear();
  QAction* beside = menu->addAction(tr("Папка съёмки"), this, [this] {
    QSettings().remove(ExportFolderKey);
    UpdateExportFolderMenu();
  });
  beside->setCheckable(true);
  beside->setChecked(folder.isEmpty());
  if (!folder.isEmpty()) {
    QAction* other = menu->addAction(folder);
    other->setCheckable(true);
    other->setChecked(true);
  }
  menu->addSeparator();
  menu->addAction(tr("Другая папка…"), this, [this] { Guarded([this] { ChooseExportFolder(); }); });
  ExportFolderB->setToolTip(tr("Экспорт в: %1").arg(folder.isEmpty() ? tr("папку съёмки") : folder));
}

void TMainForm::ChooseExportFolder() {
  const QString start = ExportFolder().isEmpty() ? RecentSurveys().LastFolder() : ExportFolder();
  const QString folder = folder_dialog_ ? folder_dialog_(this, start) : RunFolderDialog(this, start);
  if (folder.isEmpty()) return;
  QSettings().setValue(ExportFolderKey, QDir(folder).absolutePath());
  UpdateExportFolderMenu();
}

RecordOptions TMainForm::CurrentRecordOptions() const { return {SignBox->isChecked(), AbsBox->isChecked()}; }

void TMainForm::StartPass(PassRunner::Work work, std::function<void()> on_done, int total) {
  pass_done_ = std::move(on_done);
  Notice->hide();  // the last export's news says nothing of this pass
  // A total not known yet (a line's surveys are indexed first) shows a busy bar.
  if (total < 0)
    ProgressBar1->setRange(0, 0);
  else
    ProgressBar1->setRange(1, total > 0 ? total : vari.survey->RecordCount);
  ProgressBar1->setValue(ProgressBar1->minimum());
  records_passed_ = 0;
  ProgressBar1->show();
  EnablePassControls(false);
  Passes->Start(vari.survey, std::move(work));
}

void TMainForm::PassTicked(int done, int total) {
  if (total > 0 && ProgressBar1->maximum() != total) ProgressBar1->setRange(1, total);
  ProgressBar1->setValue(std::max(done, 1));
  records_passed_ = done;
  // Drawing the error chart anew costs as much as a share of the check: a few times a
  // second is enough to watch it grow.
  if (!points_drawn_.isValid() || points_drawn_.elapsed() >= PointsDrawnEveryMs) {
    DrawCheckPoints();
    points_drawn_.start();
  }
}

QString TMainForm::ExportStoppedNotice(const std::string& file) {
  std::error_code error;
  return std::filesystem::exists(file, error) ? tr("Экспорт остановлен: файл не записан, прежний остался как был")
                                              : tr("Экспорт остановлен: файл не записан");
}

void TMainForm::PassFinished(const QString& failure, bool cancelled) {
  DrawCheckPoints();
  points_drawn_.invalidate();
  const QString stopped =
      tr("проверка остановлена: проверено записей %1 из %2").arg(records_passed_).arg(ProgressBar1->maximum());
  if (check_points_ && cancelled) check_stopped_ = stopped;
  if (check_points_) UpdateSurveyView();
  // A check stopped says so above its points, until the next check or open, and how far it came.
  if (check_points_ && cancelled) {
    Chart2->SetTitle(tr("Ошибка, %") + " — " + stopped);
    Chart2->SetTitleVisible(true);
    Chart2->Replot();
    // The views may cover the chart's title: the notice, clear of them, says it too.
    ShowNotice(
        tr("Проверка остановлена: проверено записей %1 из %2").arg(records_passed_).arg(ProgressBar1->maximum()));
  }
  check_points_.reset();
  ProgressBar1->hide();
  EnablePassControls(true);
  if (cancelled && !pass_stopped_notice_.isEmpty()) ShowNotice(pass_stopped_notice_);
  pass_stopped_notice_.clear();
  std::function<void()> done = std::exchange(pass_done_, {});
  if (!cancelled && failure.isEmpty() && done) done();
  // Whether the section shows the line as it stands, after whatever pass this was.
  if (line_ && SurveyWindow) SurveyWindow->SetCaption(LineCaption());
  if (!failure.isEmpty()) throw std::runtime_error(failure.toStdString());
}

// While a pass runs nothing may change the survey or the options it was started with.
void TMainForm::EnablePassControls(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{OpenB, CheckB, AbsBox, SignBox, AutoSaveBox, ExportB, ExportFormatBox, RecentB})
    control->setEnabled(enabled);
  SaveB->setEnabled(enabled && !AutoSaveBox->isChecked());
  if (enabled) RecentB->setEnabled(!RecentB->menu()->isEmpty());
  Strip->SetShown(CancelB, !enabled);
  pass_running_ = !enabled;
  if (DecayWindow) DecayWindow->SetBusy(pass_running_);
  if (line_ && LinePanelWindow) {
    LinePanelState state = PanelState();
    state.busy = !enabled;
    LinePanelWindow->Show(state);
  }
}

void TMainForm::AutoSaveBoxClick() { SaveB->setEnabled(!AutoSaveBox->isChecked()); }

// The summary, K, R and ρa, the curves and a picture saved next all show the sign chosen.
void TMainForm::SignOptionChanged() {
  if (!vari.FileLoaded) return;
  LoadRecord(TrackBar1->value() + 1, true);
  MoveRecordMarker();
}

void TMainForm::FormResize() {
  const int splitter = Splitters->handleWidth();
  int h = height() - Panel1->height();
  int voltage = std::max(h / 2 - splitter, 0);
  // A window too low for the rule keeps every height at zero or above.
  int chart2 = std::clamp(h - 2 * splitter - voltage, 0, Chart2Height);
  int chart1 = std::max(h - 2 * splitter - voltage - chart2, 0);
  Splitters->setSizes({chart2, chart1, voltage});
}

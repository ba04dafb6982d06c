// The survey line in the window: making, opening and saving a line, its evaluation
// beside the window, the records excluded by hand with undo and redo, and the line's
// exports. Every answer comes from the line's session in the core; the window shows it.

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QToolButton>

#include "analysis/arrangement.h"
#include "line/line_error.h"
#include "line/line_output.h"
#include "line/line_records.h"
#include "line/topography.h"
#include "main/control_strip.h"
#include "main/guarded.h"
#include "main/line_panel.h"
#include "main/main_form.h"
#include "main/message_box.h"
#include "main/owned_view.h"
#include "main/recent_surveys.h"
#include "vari.h"

namespace {

QString LineFilter() { return TMainForm::tr("Профили (*.vln)"); }

QStringList RunLineDialog(QWidget* parent, const QString& kind) {
  const QString folder = RecentSurveys().LastFolder();
  QString name;
  if (kind == "save") {
    name = QFileDialog::getSaveFileName(parent, TMainForm::tr("Сохранить профиль"), folder, LineFilter());
    if (!name.isEmpty() && !name.endsWith(".vln", Qt::CaseInsensitive)) name += ".vln";
  } else if (kind == "open") {
    name = QFileDialog::getOpenFileName(parent, TMainForm::tr("Открыть профиль"), folder, LineFilter());
  } else if (kind == "surveys") {
    return QFileDialog::getOpenFileNames(parent, TMainForm::tr("Съёмки профиля"), folder,
                                         TMainForm::tr("Съёмки (*.qmr)"));
  } else {
    name = QFileDialog::getOpenFileName(parent, TMainForm::tr("Топография"), folder,
                                        TMainForm::tr("Топография (*.txt *.csv *.dat);;Все файлы (*)"));
  }
  return name.isEmpty() ? QStringList{} : QStringList{name};
}

int RunAskSave(QWidget* parent, const QString& name) {
  return QMessageBox::question(parent, TMainForm::tr("Профиль"),
                               TMainForm::tr("Сохранить изменения профиля %1?").arg(name),
                               QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
}

QString FileNameOf(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName(); }

}  // namespace

void TMainForm::CreateLineControls() {
  LineB = new QToolButton(Panel1);
  LineB->setObjectName("LineB");
  LineB->resize(84, 25);
  LineB->setText(tr("Профиль"));
  LineB->setPopupMode(QToolButton::InstantPopup);
  LineB->setMenu(new QMenu(LineB));
  connect(LineB->menu(), &QMenu::aboutToShow, this, [this] { UpdateLineMenu(); });
  Strip->Add({LineB}, ControlStrip::MenuOffer(LineB));
  LineCounter = new FittingLabel(Panel1);
  LineCounter->setObjectName("LineCounter");
  // Beside the button while the row has room for the counts at least.
  Strip->AddShrinking(LineCounter,
                      [this](QMenu& menu) { menu.addAction(LineCounter->WholeText())->setEnabled(false); });
  Strip->SetShown(LineCounter, false);
  UpdateLineMenu();

  ExcludedErSeries = &Chart2->AddSeries(
      {.kind = Chart::SeriesKind::Points, .colour = QColor(128, 128, 128), .marker_half_size = 2, .hollow = true});

  // Everywhere in the program, except where a text field takes the keys for itself.
  auto shortcut = [this](QKeySequence keys, std::function<void()> action) {
    auto* made = new QShortcut(keys, this);
    made->setContext(Qt::ApplicationShortcut);
    connect(made, &QShortcut::activated, this, [action] { Guarded(action); });
  };
  shortcut(QKeySequence(Qt::Key_Delete), [this] { ExcludeRecordOnShow(); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { UndoLineChange(false); });
  shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { UndoLineChange(true); });

  for (QCheckBox* box : {SignBox, AbsBox})
    connect(box, &QCheckBox::toggled, this, [this] { Guarded([this] { ApplyLineProcessing(); }); });
}

void TMainForm::UpdateLineMenu() {
  QMenu* menu = LineB->menu();
  menu->clear();
  const bool open = line_ != nullptr, idle = !Passes->Running();
  menu->addAction(tr("Новый профиль из этой съёмки…"), this, [this] { Guarded([this] { NewLine(); }); })
      ->setEnabled(idle && vari.FileLoaded);
  menu->addAction(tr("Открыть профиль…"), this, [this] { Guarded([this] { OpenLineAsked(); }); })->setEnabled(idle);
  menu->addAction(tr("Сохранить профиль"), this, [this] { Guarded([this] { SaveLine(false); }); })->setEnabled(open);
  menu->addAction(tr("Сохранить профиль как…"), this, [this] { Guarded([this] { SaveLine(true); }); })
      ->setEnabled(open);
  menu->addAction(tr("Съёмки и правила…"), this, [this] { Guarded([this] { ShowLinePanel(); }); })->setEnabled(open);
  // After an evaluation that was stopped, the records are evaluated again when asked.
  menu->addAction(tr("Вычислить заново"), this, [this] { Guarded([this] { EvaluateOpenLine(); }); })
      ->setEnabled(open && idle && line_->NeedsEvaluation());
  menu->addAction(tr("Закрыть профиль"), this,
                  [this] {
                    Guarded([this] {
                      if (LineMayClose()) CloseLine();
                    });
                  })
      ->setEnabled(open && idle);
}

QStringList TMainForm::AskLineFiles(const QString& kind) {
  return line_dialog_ ? line_dialog_(this, kind) : RunLineDialog(this, kind);
}

void TMainForm::OpenAnyFile(const QString& name) {
  if (name.endsWith(".vln", Qt::CaseInsensitive))
    OpenLineFile(name);
  else
    OpenSurveyFile(name);
}

void TMainForm::NewLine() {
  if (!vari.FileLoaded || Passes->Running() || !LineMayClose()) return;
  const QStringList named = AskLineFiles("save");
  if (named.isEmpty()) return;
  std::vector<std::string> files{vari.survey->DataFileName};
  const QStringList more = AskLineFiles("surveys");
  for (const QString& file : more) files.push_back(file.toStdString());
  LineSession session = NewLineSession(named.first().toStdString(), files);
  CloseLine();  // saved or given up as the user answered: it must not ask again
  session.SetProcessing({SignBox->isChecked(), AbsBox->isChecked(), {}, {}});
  session.Save();
  OpenLineFile(named.first());
}

void TMainForm::OpenLineAsked() {
  const QStringList named = AskLineFiles("open");
  if (!named.isEmpty()) OpenLineFile(named.first());
}

// The line replaces the one on show only once its records are evaluated: a line whose
// survey is missing or changed leaves the window as it was.
void TMainForm::OpenLineFile(const QString& path) {
  if (Passes->Running() || !LineMayClose()) return;
  const std::string name = path.toStdString();
  const LineProject project = ReadLineProject(name);
  // What the evaluation computes: M and the decay's fit, as the rules and the views need them.
  LineEvaluationOptions with;
  with.decay_fit = project.rules.LookAtDecayFit() || SurveyViewWantsFit();
  with.ip = project.rules.LookAtM() || ActiveIp() || with.decay_fit;
  StartLineEvaluation(name, project, with, [this, name, project, with, path](std::shared_ptr<const LineData> data) {
    CloseLine();
    line_ = std::make_unique<LineSession>(name, project);
    line_->SetWantsM(ActiveIp() != nullptr);
    line_->SetWantsDecayFit(SurveyViewWantsFit());
    line_->SetData(std::move(data), project, with.ip, with.decay_fit);
    if (keeps_settings_) RecentSurveys().Add(path);
    UpdateRecentMenu();
    // The boxes show the line's processing; changing them changes it.
    SignBox->setChecked(project.processing.flip_sign);
    AbsBox->setChecked(project.processing.abs_du);
    if (SurveyOnShow() < 0 && !project.surveys.empty())
      OpenSurveyFile(QString::fromStdString(SurveyPath(name, project.surveys.front())));
    ShowLine();
    ShowCaption();
    ShowSurveyView();
    // The panel opens beside the survey view where the screen has room for both;
    // on a narrower one the menu opens it when asked.
    constexpr int PanelRoom = 420;
    if (screen()->availableGeometry().width() >= SurveyWindow->width() + PanelRoom) ShowLinePanel();
  });
}

void TMainForm::SaveLine(bool as) {
  if (!line_) return;
  if (as) {
    const QStringList named = AskLineFiles("save");
    if (named.isEmpty()) return;
    line_->SaveAs(named.first().toStdString());
    ShowCaption();
  } else {
    line_->Save();
  }
  if (keeps_settings_) RecentSurveys().Add(QString::fromStdString(line_->Path()));
  UpdateRecentMenu();
  ShowLineCounts();  // saved: the name loses its mark
}

bool TMainForm::LineMayClose() {
  if (!line_ || !line_->Modified()) return true;
  const QString name = FileNameOf(line_->Path());
  const int answer = ask_save_ ? ask_save_(this, name) : RunAskSave(this, name);
  if (answer == QMessageBox::Discard) return true;
  if (answer != QMessageBox::Save) return false;
  try {
    line_->Save();
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
    return false;
  }
  return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!LineMayClose()) return event->ignore();
  QWidget::closeEvent(event);
}

void TMainForm::CloseLine() {
  const bool was_open = line_ != nullptr;
  line_.reset();
  if (was_open) ShowCaption();
  line_section_ = {};
  line_exclusions_ = {};
  excluded_on_show_.clear();
  Strip->SetShown(LineCounter, false);
  if (LinePanelWindow) LinePanelWindow->hide();
  if (SurveyWindow) {
    SurveyWindow->SetExcluding(false);
    SurveyWindow->SetSurveyNames({});
    SurveyWindow->ShowGround({}, {});
    SurveyWindow->SetCaption(tr("Разрез"));
    LoadScaleChoices();
    UpdateSurveyView();
  }
  RedrawErrorChart();
}

// A change made while a pass runs waits for its end: the pass's own end evaluates the
// line again when it needs it.
void TMainForm::EvaluateOpenLine() {
  if (!line_ || Passes->Running()) return;
  const LineProject project = line_->Project();
  const LineEvaluationOptions with{.ip = line_->WantsM(), .decay_fit = line_->WantsDecayFit()};
  StartLineEvaluation(line_->Path(), project, with, [this, project, with](std::shared_ptr<const LineData> data) {
    if (!line_) return;
    line_->SetData(std::move(data), project, with.ip, with.decay_fit);
    ShowLine();
    // What changed while the pass ran (an offset typed as it began) is evaluated next.
    if (line_->NeedsEvaluation()) EvaluateOpenLine();
  });
}

void TMainForm::StartLineEvaluation(const std::string& path, const LineProject& project, LineEvaluationOptions with,
                                    std::function<void(std::shared_ptr<const LineData>)> on_done) {
  auto data = std::make_shared<std::shared_ptr<const LineData>>();
  StartPass(
      [path, project, data, with](const Survey&, const Progress& progress) mutable {
        with.progress = progress;
        *data = std::make_shared<const LineData>(::EvaluateLine(path, project, with));
      },
      [data, on_done = std::move(on_done)] { on_done(*data); },
      -1);  // the surveys are indexed first: the total comes with the first tick
}

// A new evaluation places the records once, each with its cause.
void TMainForm::ShowLine() {
  if (!line_ || !line_->Data()) return;
  line_exclusions_ = line_->Current();
  line_section_ = LineSectionOf(*line_->Data(), line_exclusions_.causes);
  FeedSurveyViewLine();
  ShowLineCounts();
}

void TMainForm::FeedSurveyViewLine() {
  if (!SurveyWindow || !line_ || !line_->Data()) return;
  const LineProject project = line_->Project();
  QStringList names;
  for (const LineSurvey& survey : project.surveys) names << QFileInfo(QString::fromStdString(survey.file)).fileName();
  SurveyWindow->SetSurveyNames(names);
  SurveyWindow->SetExcluding(true);
  SurveyWindow->SetCaption(LineCaption());
  std::vector<QPointF> ground, electrodes;
  std::vector<std::pair<double, double>> profile;
  for (const GroundPoint& point : GroundProfile(project, *line_->Data())) {
    ground.emplace_back(point.x, point.z);
    profile.emplace_back(point.x, point.z);
  }
  for (const LineElectrode& electrode : line_->Data()->electrodes) electrodes.emplace_back(electrode.x, electrode.z);
  std::vector<Quadrupole> records;
  for (const LineRecord& record : line_->Data()->records) records.push_back({record.a, record.b, record.m, record.n});
  SurveyWindow->SetSubject(FileNameOf(line_->Path()), ArrangementName(ArrangementOf(records)));
  LoadScaleChoices();
  PlaceOnGround(line_section_.points, profile);
  SurveyWindow->ShowGround(std::move(ground), std::move(electrodes));
  SurveyWindow->ShowPoints(line_section_.points);
}

// After a toggle, an undo or a rule: the causes again, and everything that shows them.
void TMainForm::ShowLineExclusions() {
  if (!line_ || !line_->Data()) return;
  line_exclusions_ = line_->Current();
  MarkExclusions(line_section_, line_exclusions_.causes);
  if (SurveyWindow) SurveyWindow->ShowPoints(line_section_.points);
  ShowLineCounts();
}

void TMainForm::ShowLineCounts() {
  if (!line_ || !line_->Data()) return;
  const int records = static_cast<int>(line_->Data()->records.size());
  const QString name = FileNameOf(line_->Path()) + (line_->Modified() ? " *" : "");
  const int excluded = line_exclusions_.counts.Excluded();
  LineCounter->SetTexts({tr("%1: искл. %2 из %3").arg(name).arg(excluded).arg(records),
                         tr("искл. %1 из %2").arg(excluded).arg(records) + (line_->Modified() ? " *" : "")});
  if (SurveyWindow) SurveyWindow->SetCaption(LineCaption());
  Strip->SetShown(LineCounter, true);
  if (LinePanelWindow) LinePanelWindow->Show(PanelState());
  RedrawErrorChart();
}

QString TMainForm::LineCaption() const {
  const QString caption = tr("Разрез — %1%2: записей %3, исключено %4")
                              .arg(FileNameOf(line_->Path()))
                              .arg(line_->Modified() ? " *" : "")
                              .arg(line_->Data() ? line_->Data()->records.size() : 0)
                              .arg(line_exclusions_.counts.Excluded());
  // An evaluation stopped before its end leaves the records of the one before on show.
  if (line_->NeedsEvaluation() && !Passes->Running()) return caption + tr(" — прежний расчёт: «Вычислить заново»");
  return caption;
}

LinePanelState TMainForm::PanelState() const {
  LinePanelState state;
  if (!line_) return state;
  const LineProject project = line_->Project();
  state.name = FileNameOf(line_->Path());
  state.modified = line_->Modified();
  std::vector<int> records(project.surveys.size());
  if (line_->Data())
    for (const LineRecord& record : line_->Data()->records)
      if (record.ref.file >= 0 && static_cast<size_t>(record.ref.file) < records.size())
        ++records[static_cast<size_t>(record.ref.file)];
  for (size_t i = 0; i < project.surveys.size(); ++i)
    state.surveys.push_back({QString::fromStdString(project.surveys[i].file), project.surveys[i].offset_m, records[i]});
  state.topography_points = static_cast<int>(project.topography.points.size());
  state.tape = project.topography.tape;
  state.rules = project.rules;
  state.counts = line_exclusions_.counts;
  state.records = line_->Data() ? static_cast<int>(line_->Data()->records.size()) : 0;
  state.busy = Passes->Running();
  return state;
}

LinePanel* TMainForm::ShowLinePanel() {
  if (!line_) return nullptr;
  if (!LinePanelWindow) {
    LinePanelWindow = new LinePanel(this);
    auto* panel = LinePanelWindow;
    connect(panel, &LinePanel::RulesChanged, this, [this](ExclusionRules rules) {
      Guarded([&] {
        if (!line_) return;
        line_->SetRules(rules);
        if (line_->NeedsEvaluation())
          EvaluateOpenLine();
        else
          ShowLineExclusions();
      });
    });
    connect(panel, &LinePanel::OffsetChanged, this, [this](int survey, double offset) {
      Guarded([&] {
        if (!line_) return;
        line_->SetOffset(survey, offset);
        EvaluateOpenLine();
      });
    });
    connect(panel, &LinePanel::AddSurveysAsked, this, [this] {
      Guarded([this] {
        if (!line_ || Passes->Running()) return;
        const QStringList files = AskLineFiles("surveys");
        for (const QString& file : files)
          if (line_->SurveyOf(file.toStdString()) < 0) line_->AddSurvey(file.toStdString(), 0);
        if (!files.isEmpty()) EvaluateOpenLine();
      });
    });
    connect(panel, &LinePanel::RemoveSurveyAsked, this, [this](int survey) {
      Guarded([&] {
        if (!line_ || Passes->Running()) return;
        line_->RemoveSurvey(survey);
        EvaluateOpenLine();
      });
    });
    connect(panel, &LinePanel::TopographyAsked, this, [this] {
      Guarded([this] {
        if (!line_ || Passes->Running()) return;
        const QStringList files = AskLineFiles("topography");
        if (files.isEmpty()) return;
        const std::string file = files.first().toStdString();
        line_->SetTopography({ReadTopography(file), line_->Project().topography.tape}, file);
        EvaluateOpenLine();
      });
    });
    connect(panel, &LinePanel::TapeChanged, this, [this](bool tape) {
      Guarded([&] {
        if (!line_ || Passes->Running()) return;
        Topography topography = line_->Project().topography;
        topography.tape = tape;
        try {
          line_->SetTopography(topography, line_->Path());
        } catch (...) {
          LinePanelWindow->Show(PanelState());  // the box back as the line has it
          throw;
        }
        EvaluateOpenLine();
      });
    });
    connect(panel, &LinePanel::SaveAsked, this, [this] { Guarded([this] { SaveLine(false); }); });
  }
  LinePanelWindow->Show(PanelState());
  ShowOwnedView(LinePanelWindow, this, PanelOnScreen(), true, {DecayWindow}, SurveyWindow);
  return LinePanelWindow;
}

int TMainForm::SurveyOnShow() const {
  if (!line_ || !vari.FileLoaded) return -1;
  return line_->SurveyOf(vari.survey->DataFileName);
}

void TMainForm::ToggleRecords(const std::vector<RecordRef>& records) {
  if (!line_ || records.empty()) return;
  line_->History().Toggle(records);
  ShowLineExclusions();
}

void TMainForm::ExcludeRecordOnShow() {
  if (!line_ || !vari.FileLoaded) return;
  const int file = SurveyOnShow();
  if (file < 0) return ShowNotice(tr("%1 не входит в профиль").arg(FileNameOf(vari.survey->DataFileName)));
  line_->History().Exclude({{file, TrackBar1->value() + 1}});
  ShowLineExclusions();
}

// Every change to the line is undone alike: a hand exclusion or a rule at once, a survey,
// an offset or the topography by a new evaluation.
void TMainForm::UndoLineChange(bool redo) {
  if (!line_) return;
  LineHistory& history = line_->History();
  if (redo ? !history.CanRedo() : !history.CanUndo()) return;
  // What the pass under way evaluates stays as it is until its end, as the panel does.
  if (Passes->Running() && (redo ? history.RedoChangesSetup() : history.UndoChangesSetup())) return;
  redo ? history.Redo() : history.Undo();
  if (line_->NeedsEvaluation())
    EvaluateOpenLine();
  else
    ShowLineExclusions();
}

void TMainForm::PickLineRecord(int file, int k) {
  if (line_ && file != SurveyOnShow() && file >= 0 && static_cast<size_t>(file) < line_->Project().surveys.size()) {
    if (Passes->Running()) return;
    OpenSurveyFile(
        QString::fromStdString(SurveyPath(line_->Path(), line_->Project().surveys[static_cast<size_t>(file)])));
  }
  GoToRecord(k);
}

void TMainForm::ApplyLineProcessing() {
  if (!line_) return;
  LineProcessing processing = line_->Project().processing;
  processing.flip_sign = SignBox->isChecked();
  processing.abs_du = AbsBox->isChecked();
  if (processing == line_->Project().processing) return;
  line_->SetProcessing(processing);
  EvaluateOpenLine();
}

void TMainForm::ExportOpenLine(ExportFormat format) {
  if (!line_ || Passes->Running()) return;
  const std::string path = line_->Path();
  const LineProject project = line_->Project();
  const bool ip = ActiveIp() != nullptr;
  auto report = std::make_shared<LineExportReport>();
  pass_stopped_notice_ = ExportStoppedNotice(LineExportFileName(path, format));
  StartPass(
      [path, project, format, ip, report](const Survey&, const Progress& progress) {
        const LineData data = ::EvaluateLine(path, project, {.ip = ip, .progress = progress});
        const std::string file = LineExportFileName(path, format);
        try {
          *report = ::ExportLine(path, project, data, format, ip);
        } catch (const LineFileError& error) {
          if (error.what() != file + ": File access denied") throw;
          throw std::runtime_error(tr("Нет доступа на запись: %1\nПрофиль можно сохранить в другой папке: "
                                      "«Профиль» → «Сохранить профиль как…».")
                                       .arg(QString::fromStdString(file))
                                       .toStdString());
        }
      },
      [this, report, ip] {
        const QString file = QFileInfo(QString::fromStdString(report->file)).absoluteFilePath();
        ShowNotice(tr("Записан %1: записей %2, исключено %3").arg(file).arg(report->written).arg(report->excluded) +
                   LeftOutText(report->left_out, false, ip));
      },
      -1);
}

void TMainForm::UpdateExcludedOnShow() {
  excluded_on_show_.clear();
  const int file = SurveyOnShow();
  if (file < 0 || !line_->Data()) return;
  excluded_on_show_.assign(static_cast<size_t>(std::max(vari.survey->RecordCount, 0)) + 1, 0);
  const std::vector<LineRecord>& records = line_->Data()->records;
  for (size_t i = 0; i < records.size() && i < line_exclusions_.causes.size(); ++i) {
    const RecordRef& ref = records[i].ref;
    if (ref.file == file && ref.record >= 1 && static_cast<size_t>(ref.record) < excluded_on_show_.size())
      excluded_on_show_[static_cast<size_t>(ref.record)] = line_exclusions_.causes[i] != ExclusionCause::None;
  }
}

bool TMainForm::ExcludedOnShow(int k) const {
  return k >= 1 && static_cast<size_t>(k) < excluded_on_show_.size() && excluded_on_show_[static_cast<size_t>(k)];
}

// The checked records of the survey on show, those the line leaves out hollow and grey.
void TMainForm::RedrawErrorChart() {
  UpdateExcludedOnShow();
  ErSeries->Clear();
  ExcludedErSeries->Clear();
  for (const CheckPoint& point : checked_) {
    if (ExcludedOnShow(point.record))
      ExcludedErSeries->Append(point.record, point.plotted);
    else
      ErSeries->Append(point.record, point.plotted, ToolkitColour(ClassColour(point.error_class)));
  }
  Chart2->Replot();
}

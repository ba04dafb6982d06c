// The decay view beside the window: switched on by the user, fed with the core's result
// for the record on show, and the gates the user sets there.

#include <QFileInfo>
#include <QFrame>
#include <QPushButton>
#include <stdexcept>

#include "ip/decay_fit.h"
#include "line/line_output.h"
#include "main/guarded.h"
#include "main/language.h"
#include "main/line_panel.h"
#include "main/main_form.h"
#include "main/owned_view.h"
#include "processing/record_chargeability.h"
#include "vari.h"

DecayView* TMainForm::ShowDecayView() {
  DecayB->setChecked(true);
  DecayBClick();
  return DecayWindow;
}

void TMainForm::DecayBToggled(bool on) {
  // With the view on, a line's records carry M for the survey view and the exports.
  if (line_) {
    line_->SetWantsM(on);
    if (line_->NeedsEvaluation()) EvaluateOpenLine();
  }
  if (!on) {
    if (DecayWindow) DecayWindow->hide();
    return;
  }
  if (!DecayWindow) {
    DecayWindow = new DecayView(this);
    connect(DecayWindow, &DecayView::GatesChosen, this,
            [this](const QString& text) { Guarded([&] { ChooseGates(text); }); });
    connect(DecayWindow, &DecayView::Closed, this, [this] { DecayB->setChecked(false); });
    connect(DecayWindow, &DecayView::DecayExportAsked, this, [this] { Guarded([this] { ExportDecays(); }); });
    DecayWindow->ShowGates(GatesFor(*vari.survey, ip_settings_));
    DecayWindow->SetBusy(pass_running_);
  }
  ShowOwnedView(DecayWindow, this, PanelOnScreen(), true, {LinePanelWindow}, SurveyWindow);
  if (vari.FileLoaded) ShowDecay();
}

// The view is brought forward whenever it is asked for.
void TMainForm::DecayBClick() {
  if (DecayB->isChecked() && DecayWindow) ShowOwnedView(DecayWindow, this, PanelOnScreen(), true);
}

QRect TMainForm::PanelOnScreen() const { return {Panel1->mapToGlobal(QPoint(0, 0)), Panel1->size()}; }

void TMainForm::ShowDecay() {
  if (!DecayWindow) return;
  DecayWindow->SetRecordTitle(RecordOnShowTitle());
  IpSettings settings = ip_settings_;
  settings.decay_fit = true;
  Chargeability ip = RecordChargeability(*vari.survey, vari.work, vari.RecordResult.signed_mean_du, settings);
  // The core's reasons in the window's language.
  ip.no_answer = CoreReasonText(ip.no_answer);
  if (ip.fit && !ip.fit->no_fit.empty()) {
    auto fit = std::make_shared<DecayFit>(*ip.fit);
    fit->no_fit = CoreReasonText(fit->no_fit);
    ip.fit = std::move(fit);
  }
  DecayWindow->Show(ip);
}

// The long table of every gate of every record of the survey on show, with the view's
// gates; with a line open, of every record the line keeps, with the line's gates.
void TMainForm::ExportDecays() {
  if (!line_) return RunExport({.format = ExportFormat::Csv, .ip = ip_settings_, .decay = true});
  if (Passes->Running()) return;
  const std::string path = line_->Path();
  const LineProject project = line_->Project();
  auto report = std::make_shared<LineExportReport>();
  pass_stopped_notice_ = ExportStoppedNotice(LineExportFileName(path, ExportFormat::Csv, {}, true));
  StartPass(
      [path, project, report](const Survey&, const Progress& progress) {
        const LineData data = ::EvaluateLine(path, project, {.ip = true, .decay_fit = true, .progress = progress});
        *report = ::ExportLineDecays(path, project, data);
      },
      [this, report] {
        const QString file = QFileInfo(QString::fromStdString(report->file)).absoluteFilePath();
        ShowNotice(tr("Записан %1: записей %2, исключено %3").arg(file).arg(report->written).arg(report->excluded) +
                   LeftOutText(report->left_out, true, true));
      },
      -1);
}

// Gates that do not fit the pause are refused with the core's message; the old ones stay.
void TMainForm::ChooseGates(const QString& text) {
  if (text.isEmpty()) {
    ResetGates();
  } else {
    // Refused, the gates in use stay and the field keeps what was typed, to be corrected.
    ip_settings_.gates = ParseGates(text.toStdString(), vari.survey->HalfPeriod, vari.survey->SampleRate);
  }
  // The gates of a line's survey are the line's: kept in its project, and its M follows.
  if (line_ && SurveyOnShow() >= 0) {
    LineProcessing processing = line_->Project().processing;
    processing.gates = text.toStdString();
    if (processing != line_->Project().processing) {
      line_->SetProcessing(processing);
      ShowLineCounts();  // the name's mark of a change
      if (line_->NeedsEvaluation()) EvaluateOpenLine();
    }
  }
  if (vari.FileLoaded) ShowDecay();
  // A survey's section coloured by M from other gates is checked again, as a line is
  // evaluated again: what it shows never disagrees with the decay view and the exports.
  if (!line_ && SurveyWindow && vari.FileLoaded && !checked_.empty() && !checked_gates_.empty() && !Passes->Running()) {
    if (GatesFor(*vari.survey, ip_settings_) != checked_gates_) CheckBClick();
  }
}

// Each survey starts with the default gates of its own pause.
void TMainForm::ResetGates() {
  ip_settings_.gates.clear();
  // A survey of the open line starts with the line's gates.
  if (line_ && SurveyOnShow() >= 0 && !line_->Project().processing.gates.empty())
    ip_settings_.gates =
        ParseGates(line_->Project().processing.gates, vari.survey->HalfPeriod, vari.survey->SampleRate);
  if (DecayWindow) DecayWindow->ShowGates(GatesFor(*vari.survey, ip_settings_));
}

const IpSettings* TMainForm::ActiveIp() const { return DecayB->isChecked() ? &ip_settings_ : nullptr; }

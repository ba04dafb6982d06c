#pragma once
// The program's one window: the controls, the open sequence, navigation between
// records, the export and the file check, and the mouse behaviour of the charts.

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/file_check.h"
#include "chart/chart.h"
#include "line/line_section.h"
#include "line/line_session.h"
#include "main/pass_runner.h"
#include "output/table_export.h"
#include "processing/record_evaluation.h"
#include "views/decay_view.h"
#include "views/survey_view.h"

class ControlStrip;
class FittingLabel;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QToolButton;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSplitter;
class QTimer;

class LinePanel;
struct LinePanelState;

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // The file-open dialog; tests replace it. Returns the chosen name, empty when cancelled.
  using OpenDialogSeam = std::function<QString(QWidget* parent)>;
  void SetOpenDialog(OpenDialogSeam dialog) { open_dialog_ = std::move(dialog); }

  // Whether opened surveys go to the recent list in the user's settings: only the
  // program's own window keeps settings, not the batch tool drawing with it.
  void SetKeepsSettings(bool keeps) { keeps_settings_ = keeps; }
  // The folder dialog of the export folder; tests replace it. Returns the chosen folder,
  // empty when cancelled.
  using FolderDialogSeam = std::function<QString(QWidget* parent, const QString& start)>;
  void SetFolderDialog(FolderDialogSeam dialog) { folder_dialog_ = std::move(dialog); }

  // The dialogs of a line: the project's name to write (save) or to read (open), the
  // surveys to add, a topography file; and the question whether to save a changed line
  // (QMessageBox::Save, Discard or Cancel). Tests replace them; empty answers cancel.
  using LineDialogSeam = std::function<QStringList(QWidget* parent, const QString& kind)>;
  void SetLineDialog(LineDialogSeam dialog) { line_dialog_ = std::move(dialog); }
  using AskSaveSeam = std::function<int(QWidget* parent, const QString& name)>;
  void SetAskSave(AskSaveSeam ask) { ask_save_ = std::move(ask); }

  // The decimal separator of the summary line and the readouts; the user's regional one by default.
  void SetDecimalSeparator(std::string separator) { decimal_separator_ = std::move(separator); }

  static constexpr const char* Caption = "vostrel, ver 0.4,  2.11.2012";

  // Opens a survey as the dialog would, inside the window's guard: for the command
  // line.
  void OpenFromCommandLine(const QString& name);
  // The program's start: the window maximised, then the survey named on the command
  // line (empty: none) opened in it.
  void ShowAtStart(const QString& survey);
  // The survey view, made when first asked for (the "Разрез" button, the batch tool's plots).
  SurveyView* ShowSurveyView();
  // Shows record k as typing its number does.
  void GoToRecord(int k);
  // Opens a survey (.qmr) or a line (.vln) by its name, as the command line, a drop and
  // the recent list do.
  void OpenAnyFile(const QString& name);
  // The line open in the window, null when none.
  const LineSession* Line() const { return line_.get(); }
  // The rules panel of the line, made when first asked for.
  LinePanel* ShowLinePanel();
  // The decay view, switched on as the "Спад ВП" button does (the batch tool's plots).
  DecayView* ShowDecayView();

 signals:
  // A record was loaded with display on (the open and every change of the track bar).
  void RecordShown(int k);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The views go with the window when it is minimised, and come back with it.
  void changeEvent(QEvent* event) override;

 private:
  // Layout (main_form_layout.cpp).
  void CreateControls();
  void CreatePanel1();
  void CreateCharts();
  // Beside the designed controls: the record's resistivity and the exchange formats.
  void CreateResistivityControls();
  void CreateSeries();
  void WireEvents();
  void SetTabOrder();

  // Records (main_form_record.cpp).
  void LoadRecord(int k, bool display);
  void ProcessRecord(int k, bool display);
  void PlotCurrentCurve();
  void PlotVoltageCurve();
  void ShowResistivity(int k);
  // Passes over all records beside the window (main_form_handlers.cpp).
  RecordOptions CurrentRecordOptions() const;
  // Shows ProgressBar1 over 1..RecordCount and disables what would change the survey
  // until the pass is over; on_done runs when it was done, neither failed nor stopped.
  // total: the records the progress counts, the open survey's when 0.
  void StartPass(PassRunner::Work work, std::function<void()> on_done, int total = 0);
  void PassTicked(int done, int total);
  void PassFinished(const QString& failure, bool cancelled);
  // What a stopped export of `file` left: nothing new, and the old file, where there was one.
  static QString ExportStoppedNotice(const std::string& file);
  void EnablePassControls(bool enabled);
  void DrawCheckPoints();
  void SurveyViewBClick();
  void UpdateSurveyView();

  // The survey line (main_form_line.cpp).
  void CreateLineControls();
  void UpdateLineMenu();
  void NewLine();
  void OpenLineAsked();
  void OpenLineFile(const QString& path);
  void SaveLine(bool as);
  void CloseLine();
  // Whether the line on show may go: saved, discarded or unchanged; false when the user cancelled.
  bool LineMayClose();
  // Evaluates the line's records beside the window, then shows them.
  void EvaluateOpenLine();
  // Evaluates a line's records beside the window and hands them to on_done when done.
  // with: whether it computes M and the decay's fit (its progress is the pass's).
  void StartLineEvaluation(const std::string& path, const LineProject& project, LineEvaluationOptions with,
                           std::function<void(std::shared_ptr<const LineData>)> on_done);
  // The line's file dialogs ("save", "open", "surveys", "topography"), or the tests' own.
  QStringList AskLineFiles(const QString& kind);
  // Everything that shows the line follows its exclusions: the survey view, the error
  // chart, the counter and the panel.
  void ShowLine();
  void ShowLineExclusions();
  // The counter, the view's caption, the panel and the error chart, for the causes marked.
  void ShowLineCounts();
  void ToggleRecords(const std::vector<RecordRef>& records);
  void ExcludeRecordOnShow();
  void UndoLineChange(bool redo);
  void ExportOpenLine(ExportFormat format);
  void ApplyLineProcessing();
  // The survey of the line the window shows, or -1.
  int SurveyOnShow() const;
  void PickLineRecord(int file, int k);
  void RedrawErrorChart();
  // Which records of the survey on show the line leaves out (indexed by record number).
  void UpdateExcludedOnShow();
  bool ExcludedOnShow(int k) const;
  // The survey view shows the line's records and its ground.
  void FeedSurveyViewLine();
  LinePanelState PanelState() const;
  // The survey view's caption with a line open: its name and counts.
  QString LineCaption() const;

  // The decay view and the chargeability settings (main_form_decay.cpp).
  void DecayBToggled(bool on);
  void DecayBClick();
  // Where the control panel is on the screen: the views open clear of it.
  QRect PanelOnScreen() const;
  void ShowDecay();
  void ExportDecays();
  void ChooseGates(const QString& text);
  void ResetGates();
  // The chargeability the exports and the check compute: only while the decay view is on.
  const IpSettings* ActiveIp() const;
  // Whether the survey view colours by the decay's fit: the check and the line compute it.
  bool SurveyViewWantsFit() const;
  // The survey view took another quantity: the fit computed where it now needs it.
  void SurveyQuantityChosen();

  // Handlers (main_form_handlers.cpp).
  void FormResize();
  void OpenBClick();
  void OpenSurveyFile(const QString& given);
  // The window's caption: the survey's full name, and the line's name while one is open.
  QString CaptionFor(const QString& survey) const;
  void ShowCaption();
  void UpdateRecentMenu();
  void OpenRecentSurvey(const QString& path);
  // Tells what a pass did, over the charts for a few seconds.
  void ShowNotice(const QString& text);
  void TrackBar1Change();
  void lNumberKeyPress(int key, bool& swallow);
  // Shows the record whose number is typed; false when there is none such (said in a notice).
  bool GoBClick();
  void SaveBClick();
  void ExportBClick();
  // Runs an export in the given format with the progress bar and says what it left out.
  void RunExport(const ExportOptions& options);
  // What an export could not write, for its notice: how many records and why.
  static QString LeftOutText(int left_out, bool decay, bool ip);
  // Where the exports go: the survey's own folder or one the user chose, kept in the settings.
  void UpdateExportFolderMenu();
  void ChooseExportFolder();
  void AutoSaveBoxClick();
  // "Перевернуть dU" or "Модуль dU" changed: the record on show is processed again.
  void SignOptionChanged();
  void ResetErrorChart();

  // The file check and the error chart (main_form_check.cpp).
  void CheckBClick();
  void MoveRecordMarker();
  void Chart2MouseDown(Qt::MouseButton button, int x, int y);
  void Chart2DblClick();

  // The curve charts (main_form_charts.cpp).
  void ChartVoltageClick(Chart* sender);
  void ChartVoltageDblClick(Chart* sender);
  void ScaleToData(Chart* chart);
  void ChartVoltageEnter(Chart* sender);
  void ChartVoltageExit(Chart* sender);
  void ChartVoltageMouseWheel(Chart* sender, int wheel_delta, QPoint mouse_position, Qt::KeyboardModifiers shift,
                              bool& handled);
  void Chart1MouseMove(int x, int y);
  void ChartVoltageMouseMove(int x, int y);
  void Chart1MouseLeave();
  void ChartVoltageMouseLeave();
  void Readout(Chart* chart, QLineEdit* box, int x, int y);
  // The survey view's colour scales: kept in the settings per quantity, and in the
  // project of the line open (whose fixed scales come first).
  void LoadScaleChoices();
  void KeepScaleChoice(SurveyView::Quantity quantity, const ScaleChoice& choice);
  // What the record's pictures are titled: the survey, the record on show and its electrodes.
  QString RecordOnShowTitle() const;

  // The controls, in the order the form declares them.
  Chart* Chart1 = nullptr;
  ChartSeries* Series1 = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* OpenB = nullptr;
  QLineEdit* LCurrent = nullptr;
  QLineEdit* lVoltage = nullptr;
  QSplitter* Splitters = nullptr;  // holds Chart2, Chart1 and ChartVoltage with Splitter2 and Splitter1 between
  Chart* ChartVoltage = nullptr;
  ChartSeries* VoltSeries = nullptr;
  QSlider* TrackBar1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* lNumber = nullptr;
  ChartSeries* ProcISeries = nullptr;
  ChartSeries* ProcVSeries = nullptr;
  QLabel* Label2 = nullptr;
  ChartSeries* DoneSeries = nullptr;
  QPushButton* SaveB = nullptr;
  QCheckBox* AutoSaveBox = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* Panel2Caption = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* CheckB = nullptr;
  Chart* Chart2 = nullptr;
  ChartSeries* ErSeries = nullptr;
  QCheckBox* AbsBox = nullptr;
  QCheckBox* SignBox = nullptr;
  ChartSeries* SeriesPos = nullptr;
  // Added beside the designed ones; none of those moves.
  ControlStrip* Strip = nullptr;  // holds the ones below, in the room the screen leaves
  QLabel* ResistivityLabel = nullptr;
  QComboBox* ExportFormatBox = nullptr;
  QPushButton* ExportB = nullptr;
  QToolButton* RecentB = nullptr;
  QToolButton* ExportFolderB = nullptr;  // its menu: the survey's folder or another one
  QPushButton* CancelB = nullptr;        // stops the pass under way, as Esc does
  QPushButton* SurveyViewB = nullptr;
  SurveyView* SurveyWindow = nullptr;   // made at the first press of SurveyViewB
  QPushButton* DecayB = nullptr;        // switches the decay view on and off; off at the start
  DecayView* DecayWindow = nullptr;     // made when first switched on
  QToolButton* LineB = nullptr;         // "Профиль": makes, opens and saves a line
  FittingLabel* LineCounter = nullptr;  // the line's records, and how many it leaves out
  LinePanel* LinePanelWindow = nullptr;
  ChartSeries* ExcludedErSeries = nullptr;  // the error chart's records the line leaves out
  std::unique_ptr<LineSession> line_;
  LineSection line_section_;  // the points of the line's records, made once per evaluation
  Exclusions line_exclusions_;
  std::vector<char> excluded_on_show_;
  std::vector<QWidget*> views_put_away_;  // minimised with the window, shown again with it
  QLabel* Notice = nullptr;               // what the last export wrote, for a few seconds
  QTimer* NoticeTimer = nullptr;
  IpSettings ip_settings_;
  std::vector<CheckPoint> checked_;  // the last check's points, for the survey view
  bool checked_with_fit_ = false;    // whether the last check computed the decay's fit
  QString check_stopped_;            // how far the last check came, when it was stopped
  std::vector<Gate> checked_gates_;  // the gates of the last check's M (none: without M)
  PassRunner* Passes = nullptr;

  // Points of the check under way, handed from its thread to the window's.
  struct CheckPoints {
    std::mutex mutex;
    std::vector<CheckPoint> pending;
    void Push(const CheckPoint& point);
    std::vector<CheckPoint> Take();
  };
  std::shared_ptr<CheckPoints> check_points_;
  std::function<void()> pass_done_;
  bool pass_running_ = false;    // the controls that would change it wait
  QString pass_stopped_notice_;  // what a stopped export says
  QStringList index_warnings_;   // what the open survey's index had to tell, for the exports' notices
  QElapsedTimer points_drawn_;
  int records_passed_ = 0;  // of the pass under way, as its last tick told
  static constexpr int PointsDrawnEveryMs = 200;

  OpenDialogSeam open_dialog_;
  LineDialogSeam line_dialog_;
  AskSaveSeam ask_save_;
  FolderDialogSeam folder_dialog_;
  std::string decimal_separator_;
  bool keeps_settings_ = true;
};

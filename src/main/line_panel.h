#pragma once
// The line's panel ("Профиль"): the surveys of the open line with their offsets, its
// topography, the exclusion rules with the records each leaves out, and the save. A view:
// it shows the state the window gives it and passes on what the user asks; the window
// and the core decide and compute.

#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "line/exclusion.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

struct LinePanelState {
  QString name;           // the project's file name ("" before it is first saved)
  bool modified = false;  // unsaved changes
  struct Survey {
    QString file;
    double offset_m = 0;
    int records = 0;
  };
  std::vector<Survey> surveys;  // in the line's order
  int topography_points = 0;    // 0: flat ground
  bool tape = false;
  ExclusionRules rules;
  ExclusionCounts counts;  // by cause; by_cause[None]: the records kept
  int records = 0;         // every record of the line; 0 until evaluated
  bool busy = false;       // an evaluation runs: nothing that changes the line can be used
};

class LinePanel : public QWidget {
  Q_OBJECT

 public:
  explicit LinePanel(QWidget* parent = nullptr);

  // Fills the widgets. The user's place stays: a value that has not changed is not set
  // again, so focus, caret, an edit under way and the table's scroll are left alone.
  void Show(const LinePanelState& state);

 signals:
  // Only on the user's edits. A rule that is not ticked is absent.
  void RulesChanged(ExclusionRules rules);
  void OffsetChanged(int survey, double offset_m);
  void AddSurveysAsked();
  void RemoveSurveyAsked(int survey);
  void TopographyAsked();
  void TapeChanged(bool tape);
  void SaveAsked();

 private:
  struct RuleRow {
    QCheckBox* check;
    QLabel* count;
    ExclusionCause cause;
  };
  QDoubleSpinBox* NewValueBox(const char* name, double low, double high, double value, int decimals);
  void AddRuleRow(QCheckBox* check, QWidget* value, ExclusionCause cause);
  void ShowSurveys(const std::vector<LinePanelState::Survey>& surveys);
  void ShowRules(const ExclusionRules& rules);
  void ShowCounts(const LinePanelState& state);
  void SetBusy(bool busy);
  void OffsetEdited(QTableWidgetItem* item);
  // The rules as the widgets hold them now.
  ExclusionRules RulesShown() const;
  void EmitRules();
  // Colours the electrode list red while it holds something that is not a number.
  bool CheckElectrodeText();

  QLabel* name_;
  QTableWidget* surveys_;
  QPushButton* add_surveys_;
  QPushButton* remove_survey_;
  QPushButton* topography_;
  QCheckBox* tape_;
  QLabel* topography_points_;
  QCheckBox* max_error_;
  QDoubleSpinBox* max_error_value_;
  QCheckBox* max_reciprocal_;
  QDoubleSpinBox* max_reciprocal_value_;
  QCheckBox* negative_rhoa_;
  QCheckBox* max_k_;
  QDoubleSpinBox* max_k_value_;
  QCheckBox* m_range_;
  QDoubleSpinBox* m_low_;
  QDoubleSpinBox* m_high_;
  QCheckBox* electrodes_;
  QLineEdit* electrode_list_;
  QCheckBox* max_misfit_;
  QDoubleSpinBox* max_misfit_value_;
  QCheckBox* not_monotone_;
  std::vector<RuleRow> rule_rows_;
  QLabel* summary_;
  QPushButton* save_;
  QWidget* rules_box_;
  bool filling_ = false;  // Show() is setting the widgets: nothing is the user's
};

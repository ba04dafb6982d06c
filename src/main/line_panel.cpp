#include "main/line_panel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

#include "line/number_text.h"
#include "main/guarded.h"

namespace {

enum Column { FileColumn, OffsetColumn, RecordsColumn };

// The offset is edited as a number to the millimetre.
class OffsetDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName("OffsetEditor");
    box->setFrame(false);
    box->setDecimals(3);
    box->setRange(-1e6, 1e6);
    return box;
  }
  // Every digit of the offset and no thousands separator: 1234.567 m, not 1,234.57.
  QString displayText(const QVariant& value, const QLocale& locale) const override {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value.toDouble(), 'f', QLocale::FloatingPointShortest);
  }
};

// The positions of the electrode list, separated by blanks or commas; none if one of
// them is not a number.
std::optional<std::vector<double>> ElectrodePositions(const QString& text) {
  std::vector<double> positions;
  static const QRegularExpression separators("[\\s,]+");
  for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
    double x = 0;
    if (!ParseNumber(word.toStdString(), x)) return std::nullopt;
    positions.push_back(x);
  }
  return positions;
}

QString ElectrodeText(const std::vector<double>& positions) {
  QStringList words;
  for (double x : positions) words << QString::fromStdString(ShortestText(x));
  return words.join(' ');
}

// Sets a value box only when the value it would show differs: setting it again would
// put its text back and throw away the caret and an edit under way.
void SetValue(QDoubleSpinBox* box, double value) {
  const double shown = std::round(value * std::pow(10.0, box->decimals())) / std::pow(10.0, box->decimals());
  if (box->value() != shown) box->setValue(value);
}

void SetText(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void SetItemText(QTableWidgetItem* item, const QString& text) {
  if (item->text() != text) item->setText(text);
}

}  // namespace

LinePanel::LinePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("LinePanel");
  setWindowTitle(tr("Профиль"));

  name_ = new QLabel(this);
  name_->setObjectName("LineName");
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  surveys_ = new QTableWidget(0, 3, this);
  surveys_->setObjectName("LineSurveys");
  surveys_->setHorizontalHeaderLabels({tr("Файл"), tr("Смещение, м"), tr("Записей")});
  surveys_->setItemDelegateForColumn(OffsetColumn, new OffsetDelegate(surveys_));
  surveys_->verticalHeader()->setVisible(false);
  surveys_->horizontalHeader()->setSectionResizeMode(FileColumn, QHeaderView::Stretch);
  surveys_->horizontalHeader()->setSectionResizeMode(OffsetColumn, QHeaderView::ResizeToContents);
  surveys_->horizontalHeader()->setSectionResizeMode(RecordsColumn, QHeaderView::ResizeToContents);
  surveys_->setSelectionMode(QAbstractItemView::SingleSelection);
  surveys_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
  surveys_->setMinimumHeight(90);

  add_surveys_ = new QPushButton(tr("Добавить съёмки…"), this);
  add_surveys_->setObjectName("AddSurveysB");
  remove_survey_ = new QPushButton(tr("Убрать съёмку"), this);
  remove_survey_->setObjectName("RemoveSurveyB");
  remove_survey_->setEnabled(false);
  topography_ = new QPushButton(tr("Топография…"), this);
  topography_->setObjectName("TopographyB");
  tape_ = new QCheckBox(tr("по ленте"), this);
  tape_->setObjectName("TapeC");
  tape_->setToolTip(tr("Положения точек и электродов отмерены вдоль склона"));
  topography_points_ = new QLabel(this);
  topography_points_->setObjectName("TopographyPoints");

  rules_box_ = new QGroupBox(tr("Исключить записи"), this);
  rules_box_->setObjectName("RulesBox");
  auto* grid = new QGridLayout(rules_box_);
  grid->setColumnStretch(1, 1);
  auto* excluded_header = new QLabel(tr("искл."), rules_box_);
  excluded_header->setToolTip(tr("Записей, исключённых правилом"));
  excluded_header->setAlignment(Qt::AlignRight);
  grid->addWidget(excluded_header, 0, 2);

  max_error_ = new QCheckBox(tr("Ошибка накопления >"), rules_box_);
  max_error_->setObjectName("MaxErrorC");
  max_error_value_ = NewValueBox("MaxErrorE", 0, 1000, 5, 2);
  max_error_value_->setSuffix(" %");
  AddRuleRow(max_error_, max_error_value_, ExclusionCause::StackingError);

  max_reciprocal_ = new QCheckBox(tr("Ошибка взаимности >"), rules_box_);
  max_reciprocal_->setObjectName("MaxReciprocalC");
  max_reciprocal_value_ = NewValueBox("MaxReciprocalE", 0, 1000, 10, 2);
  max_reciprocal_value_->setSuffix(" %");
  AddRuleRow(max_reciprocal_, max_reciprocal_value_, ExclusionCause::ReciprocalError);

  negative_rhoa_ = new QCheckBox(tr("Отрицательное ρк"), rules_box_);
  negative_rhoa_->setObjectName("NegativeRhoaC");
  AddRuleRow(negative_rhoa_, nullptr, ExclusionCause::NegativeRhoa);

  max_k_ = new QCheckBox(tr("|K| >"), rules_box_);
  max_k_->setObjectName("MaxKC");
  max_k_value_ = NewValueBox("MaxKE", 0, 1e7, 5000, 0);
  max_k_value_->setSuffix(tr(" м"));
  AddRuleRow(max_k_, max_k_value_, ExclusionCause::GeometricFactor);

  m_range_ = new QCheckBox(tr("M вне, мВ/В"), rules_box_);
  m_range_->setObjectName("MRangeC");
  m_range_->setToolTip(tr("Записи с поляризуемостью M вне промежутка от и до"));
  m_low_ = NewValueBox("MLowE", -1000, 1000, -5, 1);
  m_high_ = NewValueBox("MHighE", -1000, 1000, 200, 1);
  auto* m_boxes = new QWidget(rules_box_);
  auto* m_row = new QHBoxLayout(m_boxes);
  m_row->setContentsMargins(0, 0, 0, 0);
  m_row->addWidget(m_low_);
  m_row->addWidget(m_high_);
  AddRuleRow(m_range_, m_boxes, ExclusionCause::Chargeability);

  electrodes_ = new QCheckBox(tr("Электроды, м"), rules_box_);
  electrodes_->setObjectName("ElectrodesC");
  electrode_list_ = new QLineEdit(rules_box_);
  electrode_list_->setObjectName("ElectrodesE");
  electrode_list_->setPlaceholderText("95 120.5");
  electrode_list_->setToolTip(tr("Положения электродов вдоль профиля через пробел или запятую"));
  AddRuleRow(electrodes_, electrode_list_, ExclusionCause::Electrode);

  // The decay's rules, after those the panel had before them.
  max_misfit_ = new QCheckBox(tr("Невязка спада >"), rules_box_);
  max_misfit_->setObjectName("MaxDecayMisfitC");
  max_misfit_->setToolTip(tr("Записи, чей спад расходится с моделью Коул-Коула: χ² на окно выше порога"));
  max_misfit_value_ = NewValueBox("MaxDecayMisfitE", 0, 1e6, 4, 1);
  AddRuleRow(max_misfit_, max_misfit_value_, ExclusionCause::DecayMisfit);

  not_monotone_ = new QCheckBox(tr("Спад немонотонный"), rules_box_);
  not_monotone_->setObjectName("DecayNotMonotoneC");
  not_monotone_->setToolTip(tr("Записи, в чьём спаде окно выше предыдущего сверх ошибки их разности"));
  AddRuleRow(not_monotone_, nullptr, ExclusionCause::DecayNotMonotone);

  summary_ = new QLabel(rules_box_);
  summary_->setObjectName("LineSummary");
  summary_->setWordWrap(true);
  grid->addWidget(summary_, grid->rowCount(), 0, 1, 3);

  save_ = new QPushButton(tr("Сохранить"), this);
  save_->setObjectName("SaveLineB");

  auto* topography_row = new QHBoxLayout;
  topography_row->addWidget(topography_);
  topography_row->addWidget(tape_);
  topography_row->addWidget(topography_points_, 1);
  auto* save_row = new QHBoxLayout;
  save_row->addStretch(1);
  save_row->addWidget(save_);
  // Everything scrolls inside the panel where the screen is lower than it.
  auto* content = new QWidget;
  content->setObjectName("LinePanelContent");
  auto* layout = new QVBoxLayout(content);
  layout->addWidget(name_);
  layout->addWidget(surveys_, 1);
  auto* surveys_row = new QHBoxLayout;
  surveys_row->addWidget(add_surveys_);
  surveys_row->addWidget(remove_survey_);
  surveys_row->addStretch(1);
  layout->addLayout(surveys_row);
  layout->addLayout(topography_row);
  layout->addWidget(rules_box_);
  layout->addLayout(save_row);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("LinePanelScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidget(content);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);
  resize(std::max(380, content->sizeHint().width()), 580);

  connect(add_surveys_, &QPushButton::clicked, this, [this] { emit AddSurveysAsked(); });
  // The last survey stays: a line has one at least.
  auto removable = [this] {
    remove_survey_->setEnabled(surveys_->isEnabled() && surveys_->currentRow() >= 0 && surveys_->rowCount() > 1);
  };
  connect(surveys_, &QTableWidget::currentCellChanged, this, removable);
  connect(remove_survey_, &QPushButton::clicked, this, [this] {
    if (surveys_->currentRow() >= 0) emit RemoveSurveyAsked(surveys_->currentRow());
  });
  connect(topography_, &QPushButton::clicked, this, [this] { emit TopographyAsked(); });
  connect(save_, &QPushButton::clicked, this, [this] { emit SaveAsked(); });
  connect(tape_, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) emit TapeChanged(on);
  });
  connect(surveys_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { OffsetEdited(item); });
  for (QCheckBox* check :
       {max_error_, max_reciprocal_, negative_rhoa_, max_k_, m_range_, electrodes_, max_misfit_, not_monotone_})
    connect(check, &QCheckBox::toggled, this, [this] { EmitRules(); });
  // A value emits only for a ticked rule: otherwise the rules have not changed.
  const std::pair<QDoubleSpinBox*, QCheckBox*> values[] = {{max_error_value_, max_error_},
                                                           {max_reciprocal_value_, max_reciprocal_},
                                                           {max_k_value_, max_k_},
                                                           {m_low_, m_range_},
                                                           {m_high_, m_range_},
                                                           {max_misfit_value_, max_misfit_}};
  for (auto [box, check] : values)
    connect(box, &QDoubleSpinBox::valueChanged, this, [this, check] {
      if (check->isChecked()) EmitRules();
    });
  connect(electrode_list_, &QLineEdit::textEdited, this, [this] { CheckElectrodeText(); });
  // Leaving the list unchanged is no edit.
  connect(electrode_list_, &QLineEdit::editingFinished, this, [this] {
    if (!electrode_list_->isModified() || !CheckElectrodeText()) return;
    electrode_list_->setModified(false);
    if (electrodes_->isChecked()) EmitRules();
  });
}

QDoubleSpinBox* LinePanel::NewValueBox(const char* name, double low, double high, double value, int decimals) {
  auto* box = new QDoubleSpinBox(rules_box_);
  box->setObjectName(name);
  box->setDecimals(decimals);
  box->setRange(low, high);
  box->setValue(value);
  // Narrower than the widest value of its range, to keep the panel small.
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance("-100.0") + 24);
  // One signal per finished edit, not one per key.
  box->setKeyboardTracking(false);
  return box;
}

void LinePanel::AddRuleRow(QCheckBox* check, QWidget* value, ExclusionCause cause) {
  auto* grid = static_cast<QGridLayout*>(rules_box_->layout());
  const int row = grid->rowCount();
  auto* count = new QLabel(rules_box_);
  count->setObjectName(check->objectName().chopped(1) + "Count");
  count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  count->setMinimumWidth(count->fontMetrics().horizontalAdvance("00000"));
  grid->addWidget(check, row, 0);
  if (value) grid->addWidget(value, row, 1);
  grid->addWidget(count, row, 2);
  rule_rows_.push_back({check, count, cause});
}

void LinePanel::Show(const LinePanelState& state) {
  filling_ = true;
  Guarded([&] {
    SetText(name_, (state.name.isEmpty() ? tr("Профиль не сохранён") : state.name) + (state.modified ? " *" : ""));
    ShowSurveys(state.surveys);
    SetText(topography_points_,
            state.topography_points > 0 ? tr("точек: %1").arg(state.topography_points) : tr("земля ровная"));
    tape_->setChecked(state.tape);
    ShowRules(state.rules);
    ShowCounts(state);
    SetBusy(state.busy);
  });
  filling_ = false;
}

void LinePanel::ShowSurveys(const std::vector<LinePanelState::Survey>& surveys) {
  const int rows = static_cast<int>(surveys.size());
  if (surveys_->rowCount() != rows) surveys_->setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    const LinePanelState::Survey& survey = surveys[row];
    if (!surveys_->item(row, FileColumn)) {
      for (int column : {FileColumn, RecordsColumn}) {
        auto* item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        surveys_->setItem(row, column, item);
      }
      surveys_->item(row, RecordsColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      auto* offset = new QTableWidgetItem;
      offset->setData(Qt::EditRole, survey.offset_m);
      offset->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      surveys_->setItem(row, OffsetColumn, offset);
    }
    SetItemText(surveys_->item(row, FileColumn), survey.file);
    surveys_->item(row, FileColumn)->setToolTip(survey.file);
    QTableWidgetItem* offset = surveys_->item(row, OffsetColumn);
    if (offset->data(Qt::EditRole).toDouble() != survey.offset_m) offset->setData(Qt::EditRole, survey.offset_m);
    SetItemText(surveys_->item(row, RecordsColumn), QString::number(survey.records));
  }
}

void LinePanel::ShowRules(const ExclusionRules& rules) {
  max_error_->setChecked(rules.max_error_pct.has_value());
  if (rules.max_error_pct) SetValue(max_error_value_, *rules.max_error_pct);
  max_reciprocal_->setChecked(rules.max_reciprocal_pct.has_value());
  if (rules.max_reciprocal_pct) SetValue(max_reciprocal_value_, *rules.max_reciprocal_pct);
  negative_rhoa_->setChecked(rules.negative_rhoa);
  max_misfit_->setChecked(rules.max_decay_misfit.has_value());
  if (rules.max_decay_misfit) SetValue(max_misfit_value_, *rules.max_decay_misfit);
  not_monotone_->setChecked(rules.decay_not_monotone);
  max_k_->setChecked(rules.max_abs_k.has_value());
  if (rules.max_abs_k) SetValue(max_k_value_, *rules.max_abs_k);
  m_range_->setChecked(rules.m_range_mv_v.has_value());
  if (rules.m_range_mv_v) {
    SetValue(m_low_, rules.m_range_mv_v->first);
    SetValue(m_high_, rules.m_range_mv_v->second);
  }
  // A list being typed (not yet a number, or still empty) is the user's, not an older rule.
  const std::optional<std::vector<double>> typed = ElectrodePositions(electrode_list_->text());
  if (!rules.electrodes.empty()) {
    electrodes_->setChecked(true);
    if (typed && *typed != rules.electrodes) electrode_list_->setText(ElectrodeText(rules.electrodes));
  } else if (!(electrodes_->isChecked() && (!typed || typed->empty()))) {
    electrodes_->setChecked(false);
  }
}

void LinePanel::ShowCounts(const LinePanelState& state) {
  const bool evaluated = state.records > 0;
  for (const RuleRow& row : rule_rows_)
    SetText(row.count, evaluated ? QString::number(state.counts.by_cause[static_cast<int>(row.cause)]) : "—");
  if (!evaluated) {
    SetText(summary_, tr("Записи ещё не подсчитаны"));
    return;
  }
  SetText(summary_, tr("Записей %1, искл. %2, в экспорт %3, вручную %4")
                        .arg(state.records)
                        .arg(state.counts.Excluded())
                        .arg(state.counts.by_cause[static_cast<int>(ExclusionCause::None)])
                        .arg(state.counts.by_cause[static_cast<int>(ExclusionCause::ByHand)]));
}

void LinePanel::SetBusy(bool busy) {
  for (QWidget* control : std::initializer_list<QWidget*>{surveys_, add_surveys_, topography_, tape_, rules_box_})
    control->setEnabled(!busy);
  remove_survey_->setEnabled(!busy && surveys_->currentRow() >= 0 && surveys_->rowCount() > 1);
}

void LinePanel::OffsetEdited(QTableWidgetItem* item) {
  if (filling_ || item->column() != OffsetColumn) return;
  Guarded([&] {
    bool number = false;
    const double offset = item->data(Qt::EditRole).toDouble(&number);
    if (number && std::isfinite(offset)) emit OffsetChanged(item->row(), offset);
  });
}

bool LinePanel::CheckElectrodeText() {
  const bool valid = ElectrodePositions(electrode_list_->text()).has_value();
  QPalette palette = electrode_list_->palette();
  palette.setColor(QPalette::Text, valid ? this->palette().color(QPalette::Text) : QColor(Qt::red));
  electrode_list_->setPalette(palette);
  return valid;
}

ExclusionRules LinePanel::RulesShown() const {
  ExclusionRules rules;
  if (max_error_->isChecked()) rules.max_error_pct = max_error_value_->value();
  if (max_reciprocal_->isChecked()) rules.max_reciprocal_pct = max_reciprocal_value_->value();
  rules.negative_rhoa = negative_rhoa_->isChecked();
  if (max_k_->isChecked()) rules.max_abs_k = max_k_value_->value();
  if (max_misfit_->isChecked()) rules.max_decay_misfit = max_misfit_value_->value();
  rules.decay_not_monotone = not_monotone_->isChecked();
  // The two bounds in either order are the same range.
  if (m_range_->isChecked()) rules.m_range_mv_v = std::minmax(m_low_->value(), m_high_->value());
  if (electrodes_->isChecked()) {
    if (auto positions = ElectrodePositions(electrode_list_->text())) rules.electrodes = *positions;
  }
  return rules;
}

void LinePanel::EmitRules() {
  if (filling_) return;
  Guarded([&] { emit RulesChanged(RulesShown()); });
}

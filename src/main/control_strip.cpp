#include "main/control_strip.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace {
constexpr int LineTop = 4;
constexpr int RowTop = 31;
constexpr int RowHeight = 25;
constexpr int Gap = 6;
constexpr int MoreWidth = 25;
}  // namespace

ControlStrip::ControlStrip(QWidget* panel, int left, int bottom) : QWidget(panel), left_(left), bottom_(bottom) {
  setObjectName("ControlStrip");
  more_ = new QToolButton(this);
  more_->setObjectName("MoreB");
  more_->setText("»");
  more_->setToolTip(tr("Ещё"));
  more_->setPopupMode(QToolButton::InstantPopup);
  more_->setMenu(new QMenu(more_));
  more_->hide();
  connect(more_->menu(), &QMenu::aboutToShow, this, [this] { FillMenu(); });
  panel->installEventFilter(this);
}

void ControlStrip::SetLine(QLabel* label) {
  line_ = label;
  line_->setParent(this);
  line_->setWordWrap(true);
  line_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LayOut();
}

void ControlStrip::Add(std::vector<QWidget*> controls, Offer offer) {
  for (QWidget* control : controls) control->setParent(this);
  groups_.push_back({std::move(controls), std::move(offer)});
  LayOut();
}

void ControlStrip::AddShrinking(FittingLabel* label, Offer offer) {
  Add({label}, std::move(offer));
  groups_.back().shrinks = true;
  LayOut();
}

void ControlStrip::AddAfterRow(QWidget* control) {
  control->setParent(this);
  after_ = control;
  LayOut();
}

void ControlStrip::SetShown(QWidget* control, bool shown) {
  if (control == after_) after_shown_ = shown;
  for (Group& group : groups_)
    if (std::find(group.controls.begin(), group.controls.end(), control) != group.controls.end()) group.shown = shown;
  LayOut();
}

ControlStrip::Offer ControlStrip::ButtonOffer(QAbstractButton* button) {
  return [button](QMenu& menu) {
    QAction* action = menu.addAction(button->text(), button, &QAbstractButton::click);
    action->setCheckable(button->isCheckable());
    action->setChecked(button->isChecked());
    action->setEnabled(button->isEnabled());
  };
}

ControlStrip::Offer ControlStrip::MenuOffer(QToolButton* button) {
  return [button](QMenu& menu) {
    // A menu whose entries follow the window as it opens is brought up to date here too:
    // an entry is enabled alike wherever it is offered.
    emit button->menu()->aboutToShow();
    QMenu* submenu = menu.addMenu(button->text());
    submenu->setEnabled(button->isEnabled());
    submenu->addActions(button->menu()->actions());
  };
}

bool ControlStrip::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) LayOut();
  return QWidget::eventFilter(watched, event);
}

int ControlStrip::Extent(const Group& group, bool least) {
  int sum = 0;
  for (const QWidget* control : group.controls) {
    const int width = !group.shrinks ? control->width()
                      : least        ? control->minimumSizeHint().width()
                                     : control->sizeHint().width();
    sum += width + Gap;
  }
  return sum;
}

// The groups in their order while they fit; from the first that does not, the rest
// go to the menu.
void ControlStrip::LayOut() {
  const int width = std::max(parentWidget()->width() - 1 - left_, 0);
  setGeometry(left_, 0, width, bottom_);
  if (line_) line_->setGeometry(0, LineTop, width, RowTop - LineTop);

  int all = 0;
  for (const Group& group : groups_)
    if (group.shown) all += Extent(group, false);
  const int row = std::max(width - (after_ ? after_->width() + Gap : 0), 0);
  const int room = all - Gap <= row ? row : row - MoreWidth - Gap;
  int x = 0;
  bool full = false;
  for (Group& group : groups_) {
    group.placed = group.shown && !full && x + Extent(group, group.shrinks) - Gap <= room;
    full = full || (group.shown && !group.placed);
    for (QWidget* control : group.controls) {
      control->setVisible(group.placed);
      // Offered in the menu, a shrinking control keeps its whole width (and text).
      const int whole = group.shrinks ? control->sizeHint().width() : control->width();
      if (group.placed)
        control->setGeometry(x, RowTop, std::min(whole, std::max(room - x, 0)), RowHeight);
      else
        control->resize(whole, RowHeight);
      if (group.shrinks) static_cast<FittingLabel*>(control)->Fit();
      if (group.placed) x += control->width() + Gap;
    }
  }
  more_->setGeometry(x, RowTop, MoreWidth, RowHeight);
  more_->setVisible(full);
  if (!after_) return;
  after_->setGeometry(full ? x + MoreWidth + Gap : x, RowTop, after_->width(), RowHeight);
  after_->setVisible(after_shown_);
}

void FittingLabel::SetTexts(const QStringList& texts) {
  texts_ = texts;
  whole_ = texts.value(0);
  setToolTip(whole_);
  updateGeometry();
  Fit();
}

int FittingLabel::WidthOf(const QString& text) const {
  const QMargins margins = contentsMargins();
  return fontMetrics().horizontalAdvance(text) + 2 * margin() + margins.left() + margins.right();
}

QSize FittingLabel::sizeHint() const { return {WidthOf(whole_), QLabel::sizeHint().height()}; }

QSize FittingLabel::minimumSizeHint() const {
  return {WidthOf(texts_.isEmpty() ? QString() : texts_.back()), QLabel::minimumSizeHint().height()};
}

void FittingLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Fit();
}

void FittingLabel::Fit() {
  QString shown = texts_.isEmpty() ? QString() : texts_.back();
  for (const QString& text : texts_)
    if (WidthOf(text) <= width()) {
      shown = text;
      break;
    }
  if (text() != shown) setText(shown);
}

void ControlStrip::FillMenu() {
  QMenu* menu = more_->menu();
  menu->clear();
  qDeleteAll(menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
  for (const Group& group : groups_)
    if (group.shown && !group.placed) group.offer(*menu);
}

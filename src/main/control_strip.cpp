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

// The groups in their order while they fit; from the first that does not, the rest
// go to the menu.
void ControlStrip::LayOut() {
  const int width = std::max(parentWidget()->width() - 1 - left_, 0);
  setGeometry(left_, 0, width, bottom_);
  if (line_) line_->setGeometry(0, LineTop, width, RowTop - LineTop);

  auto extent = [](const Group& group) {
    int sum = 0;
    for (const QWidget* control : group.controls) sum += control->width() + Gap;
    return sum;
  };
  int all = 0;
  for (const Group& group : groups_)
    if (group.shown) all += extent(group);
  const int row = std::max(width - (after_ ? after_->width() + Gap : 0), 0);
  const int room = all - Gap <= row ? row : row - MoreWidth - Gap;
  int x = 0;
  bool full = false;
  for (Group& group : groups_) {
    group.placed = group.shown && !full && x + extent(group) - Gap <= room;
    full = full || (group.shown && !group.placed);
    for (QWidget* control : group.controls) {
      control->setVisible(group.placed);
      if (!group.placed) continue;
      control->move(x, RowTop);
      control->resize(control->width(), RowHeight);
      x += control->width() + Gap;
    }
  }
  more_->setGeometry(x, RowTop, MoreWidth, RowHeight);
  more_->setVisible(full);
  if (!after_) return;
  after_->setGeometry(full ? x + MoreWidth + Gap : x, RowTop, after_->width(), RowHeight);
  after_->setVisible(after_shown_);
}

void ControlStrip::FillMenu() {
  QMenu* menu = more_->menu();
  menu->clear();
  qDeleteAll(menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
  for (const Group& group : groups_)
    if (group.shown && !group.placed) group.offer(*menu);
}

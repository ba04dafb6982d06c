#pragma once
// The controls added beside the designed panel: a line of text above a row of
// controls, in whatever width the window leaves right of the designed ones. Controls
// without room in the row are offered in the menu of a button at its end instead, so
// that every one of them stays within reach on a narrow screen.

#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QMenu;
class QToolButton;

class ControlStrip : public QWidget {
  Q_OBJECT

 public:
  // Spans `panel` from `left` to its right border, above `bottom`.
  ControlStrip(QWidget* panel, int left, int bottom);

  // The line above the row, wrapped at its blanks when the strip is narrower than it.
  void SetLine(QLabel* label);
  // Controls that stand together in the row; `offer` adds what they do to the menu
  // when they have no room.
  using Offer = std::function<void(QMenu& menu)>;
  void Add(std::vector<QWidget*> controls, Offer offer);
  // A control of the row shown only at times.
  void SetShown(QWidget* control, bool shown);
  // A control shown only at times (SetShown; hidden at first) after the rest of the row,
  // always in reach: its room is kept while it is hidden, so that showing it moves nothing.
  void AddAfterRow(QWidget* control);

  // What a button does, as an entry of the menu.
  static Offer ButtonOffer(class QAbstractButton* button);
  // A menu button's menu, as a submenu.
  static Offer MenuOffer(class QToolButton* button);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayOut();
  void FillMenu();

  struct Group {
    std::vector<QWidget*> controls;
    Offer offer;
    bool shown = true;
    bool placed = false;
  };
  int left_, bottom_;
  QLabel* line_ = nullptr;
  std::vector<Group> groups_;
  QToolButton* more_;
  QWidget* after_ = nullptr;
  bool after_shown_ = false;
};

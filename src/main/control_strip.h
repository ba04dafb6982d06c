#pragma once
// The controls added beside the designed panel: a line of text above a row of
// controls, in whatever width the window leaves right of the designed ones. Controls
// without room in the row are offered in the menu of a button at its end instead, so
// that every one of them stays within reach on a narrow screen.

#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

class QMenu;
class QToolButton;

// A label that shows the longest of its texts that fits its width.
class FittingLabel : public QLabel {
 public:
  using QLabel::QLabel;
  // The texts, longest first; the first is the whole one.
  void SetTexts(const QStringList& texts);
  const QString& WholeText() const { return whole_; }
  // Shows the longest text that fits the width it has now (a hidden label gets no resize event).
  void Fit();
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  int WidthOf(const QString& text) const;
  QStringList texts_;
  QString whole_;
};

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
  // A label that stands in the row with less than its whole text when the row has no
  // more room (at least its shortest), rather than going to the menu.
  void AddShrinking(class FittingLabel* label, Offer offer);
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
    bool shrinks = false;
  };
  // The group's width in the row: at its full width, or at its least.
  static int Extent(const Group& group, bool least);
  int left_, bottom_;
  QLabel* line_ = nullptr;
  std::vector<Group> groups_;
  QToolButton* more_;
  QWidget* after_ = nullptr;
  bool after_shown_ = false;
};

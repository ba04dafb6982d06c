#include "main/owned_view.h"

#include <QGuiApplication>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#if VOSTREL_X11 && QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace {

// What the views are kept above. On X11, the whole program: a view whose transient parent
// is the root window is, by the convention window managers follow, transient for its
// program's group, kept above the program's windows and minimised alone. Transient for the
// window itself, minimising the view would take the window with it.
QWindow* ProgramRoot() {
#if VOSTREL_X11 && QT_CONFIG(xcb)
  // The offscreen platform answers for X11 too, without a connection.
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (QGuiApplication::platformName() == "xcb" && x11 && x11->connection()) {
    static QWindow* const root =
        QWindow::fromWinId(xcb_setup_roots_iterator(xcb_get_setup(x11->connection())).data->root);
    return root;
  }
#endif
  return nullptr;
}

QWindow* KeptAbove(const QWidget* owner) {
  if (QWindow* root = ProgramRoot()) return root;
  return owner->windowHandle();
}

// A modal dialog (a file dialog, an error box) that opens while the views are shown is
// made the program's transient as they are, just before the window manager sees it:
// transient for the window alone, it would open under the views kept above the program.
class ModalsAbove : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowBlocked)
      if (QWindow* modal = QGuiApplication::modalWindow(); modal && modal->transientParent() != ProgramRoot())
        modal->setTransientParent(ProgramRoot());
    return QObject::eventFilter(watched, event);
  }
};

// Below this height a view would show little: it then goes to the screen's top instead.
constexpr int LowestUsefulHeight = 250;

// The owner's frame, the best guess at the view's before the window manager has put one round it.
QMargins FrameOf(const QWidget* owner) {
  const QRect outer = owner->frameGeometry(), inner = owner->geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

// Below this width a view would show little: it then stays where it would cover another.
constexpr int LeastUsefulWidth = 300;

bool ShownBeside(const QWidget* other, const QWidget* view) {
  return other && other != view && other->isVisible() && !other->isMinimized();
}

void Place(QWidget* view, const QWidget* owner, const QRect& keep_clear, bool at_right,
           std::initializer_list<const QWidget*> apart_from, const QWidget* beside) {
  const QRect screen = owner->screen()->availableGeometry();
  const QMargins frame = FrameOf(owner);
  const int width = std::min(view->width(), screen.width() - frame.left() - frame.right());
  int top = std::max(screen.top(), keep_clear.bottom() + 1) + frame.top();
  int height = std::min(view->height(), screen.bottom() + 1 - frame.bottom() - top);
  // A view its layout keeps taller than the room below the panel would run off the
  // screen's bottom there: it goes to the top instead.
  const int least = std::max(view->minimumHeight(), view->minimumSizeHint().height());
  if (height < std::max(std::min(view->height(), LowestUsefulHeight), least)) {
    top = screen.top() + frame.top();
    height = std::min(view->height(), screen.bottom() + 1 - frame.bottom() - top);
  }
  const int right_edge = screen.right() + 1 - frame.right();  // one past the view's inside
  const int left = at_right ? right_edge - width : screen.left() + frame.left();
  QRect place(left, top, width, height);
  if (at_right) {
    const int least_width = std::max(LeastUsefulWidth, view->minimumSizeHint().width());
    auto framed = [&](const QRect& inside) {
      return inside.adjusted(-frame.left(), -frame.top(), frame.right(), frame.bottom());
    };
    // The room right of the view kept uncovered; over it only where that room is too narrow.
    int room = screen.left() + frame.left();
    if (ShownBeside(beside, view)) {
      const int after = beside->frameGeometry().right() + 1 + frame.left();
      if (right_edge - after >= least_width) {
        room = after;
        if (framed(place).intersects(beside->frameGeometry())) {
          const int narrowed = std::min(width, right_edge - room);
          place = QRect(right_edge - narrowed, top, narrowed, height);
        }
      }
    }
    for (const QWidget* other : apart_from) {
      if (!ShownBeside(other, view)) continue;
      const QRect taken = other->frameGeometry();
      if (!framed(place).intersects(taken)) continue;
      const int right = taken.left() - frame.right();
      const int narrowed = std::min(width, right - room);
      if (narrowed < least_width) continue;
      place = QRect(right - narrowed, top, narrowed, height);
    }
  }
  view->setGeometry(place);
}

}  // namespace

void ShowOwnedView(QWidget* view, QWidget* owner, const QRect& keep_clear, bool at_right,
                   std::initializer_list<const QWidget*> apart_from, const QWidget* beside) {
  if (!view->isWindow() || !view->windowHandle()) {
    // A dialog, not a plain window: only those does the X11 window manager learn are the window's own.
    view->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                         Qt::WindowCloseButtonHint);
    view->winId();
    if (QWindow* above = KeptAbove(owner)) view->windowHandle()->setTransientParent(above);
    if (ProgramRoot()) view->windowHandle()->installEventFilter(new ModalsAbove(view->windowHandle()));
    Place(view, owner, keep_clear, at_right, apart_from, beside);
  }
  view->setWindowState(view->windowState() & ~Qt::WindowMinimized);
  view->show();
  view->raise();
  view->activateWindow();
}

QPoint PlaceClearOfViews(const QSize& size, const QRect& area, std::initializer_list<const QWidget*> views,
                         int margin) {
  const int left = area.left() + margin, right = area.right() + 1 - margin - size.width();
  const int top = area.top() + margin / 2, bottom = area.bottom() + 1 - margin / 2 - size.height();
  const QPoint corners[] = {{right, top}, {left, top}, {right, bottom}, {left, bottom}};
  auto clear = [&](const QPoint& corner, bool of_title_bars_only) {
    const QRect notice(corner, size);
    for (const QWidget* view : views) {
      if (!view || !view->isVisible() || view->isMinimized()) continue;
      QRect taken = view->frameGeometry();
      if (of_title_bars_only) taken.setBottom(view->geometry().top() - 1);
      if (taken.intersects(notice)) return false;
    }
    return true;
  };
  for (bool of_title_bars_only : {false, true})
    for (const QPoint& corner : corners)
      if (clear(corner, of_title_bars_only)) return corner;
  return corners[0];
}

#pragma once
// The views the window opens beside itself ("Разрез", "Спад ВП"): owned by the
// window, so that the window manager keeps them above it whatever is clicked there,
// and placed wholly on the screen, clear of the control panel where there is room.

#include <initializer_list>

class QWidget;
class QPoint;
class QRect;
class QSize;

// Shows `view` and brings it forward. The first time, it becomes `owner`'s own and is
// placed on `owner`'s screen below `keep_clear` (global coordinates), at the left edge
// or, with `at_right`, at the right one; it is made smaller where the screen is. A view
// at the right stays clear of `beside` (the survey view) where the screen has room for it
// right of that one, narrower if it must, and otherwise goes over it; it goes left of
// those of `apart_from` that are shown there, narrower if it must, where that room holds
// it, and over them where it does not.
void ShowOwnedView(QWidget* view, QWidget* owner, const QRect& keep_clear, bool at_right,
                   std::initializer_list<const QWidget*> apart_from = {}, const QWidget* beside = nullptr);

// Where a notice of `size` goes within `area` (global coordinates), `margin` inside its
// edges: the top right corner, or else the first other corner clear of the shown `views`
// (null ones are skipped); where every corner meets one, the first clear of their title bars.
QPoint PlaceClearOfViews(const QSize& size, const QRect& area, std::initializer_list<const QWidget*> views, int margin);

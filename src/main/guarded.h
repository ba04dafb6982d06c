#pragma once
// Qt must never see an exception leave an event handler: every handler body runs
// inside Guarded, which hands any failure to the one application-wide error box.

#include <exception>
#include <utility>

#include "main/message_box.h"

template <class Body>
void Guarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  } catch (...) {
    ShowErrorBox("Unknown error");
  }
}

#pragma once
// Qt must never see an exception leave an event handler: every handler body runs
// inside Guarded, which hands any failure to the one application-wide message seam.

#include <exception>
#include <utility>

#include "chart/message_sink.h"

template <class Body>
void Guarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (const std::exception& error) {
    ShowErrorText(error.what());
  } catch (...) {
    ShowErrorText("Unknown error");
  }
}

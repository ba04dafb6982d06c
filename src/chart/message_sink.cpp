#include "chart/message_sink.h"

#include <cstdio>
#include <utility>

namespace {
MessageSink& CurrentSink() {
  static MessageSink sink = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  return sink;
}
}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(CurrentSink(), std::move(sink)); }

void ShowErrorMessage(const std::string& text) {
  if (CurrentSink()) CurrentSink()(text);
}

void ShowErrorText(const char* text) noexcept {
  try {
    ShowErrorMessage(text);
  } catch (...) {
    // Nothing is left to report a failure of the error box itself to.
  }
}

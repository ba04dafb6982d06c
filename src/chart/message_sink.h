#pragma once
// The one seam through which the window and its charts show an error message box. The program
// installs a message box; window tests record.

#include <functional>
#include <string>

using MessageSink = std::function<void(const std::string& text)>;

// Replaces the sink and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);
void ShowErrorMessage(const std::string& text);
// The same where nothing may be thrown: a failure of the sink itself is dropped.
void ShowErrorText(const char* text) noexcept;

#pragma once
// The one seam through which the program shows an error message box. The window
// installs a message box; the batch tool writes to standard error; tests record.

#include <functional>
#include <string>

using MessageSink = std::function<void(const std::string& text)>;

// Replaces the sink and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);
void ShowErrorMessage(const std::string& text);

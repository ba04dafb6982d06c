#pragma once

// Shows an error through the program's one message seam (a message box in the window,
// a recorder in tests).
void ShowErrorBox(const char* text) noexcept;

// Makes the message seam show a modal error box over the active window.
void InstallMessageBoxSink();

#pragma once

// A write beyond the process's file-size limit must fail like a full disk, so that the
// table being written is cleaned up, instead of killing the process with a stray
// temporary file left behind. Does nothing where the system has no such signal.
void IgnoreFileSizeLimitSignal();

#pragma once

// A write beyond the process's file-size limit must fail like a full disk, so that the
// table being written is cleaned up, instead of killing the process with a stray
// temporary file left behind. Does nothing where the system has no such signal.
void IgnoreFileSizeLimitSignal();

// A process stopped by Ctrl+C, a termination, a hang-up or a closed pipe first removes
// the temporary files of the tables it was writing; the tables themselves stay as they
// were, and it then stops as the signal would have stopped it.
void RemoveUnfinishedFilesOnStop();

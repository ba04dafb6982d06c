#pragma once

#include <string>
#include <vector>

// Each command takes the words after its name and returns the exit code:
// 0 done, 1 a file failed, 2 (by throwing UsageError) a mistake in the command line.
int InfoCommand(const std::vector<std::string>& words);
int SynthCommand(const std::vector<std::string>& words);
int RecordCommand(const std::vector<std::string>& words);
int ExportCommand(const std::vector<std::string>& words);
int CheckCommand(const std::vector<std::string>& words);
int ReciprocalCommand(const std::vector<std::string>& words);
int IpCommand(const std::vector<std::string>& words);
int LineCommand(const std::vector<std::string>& words);
int SectionCommand(const std::vector<std::string>& words);
int PlotCommand(const std::vector<std::string>& words);  // only where the window is built

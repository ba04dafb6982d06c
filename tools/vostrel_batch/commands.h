#pragma once
// The declaration of each command (see command_line.h).

#include "vostrel_batch/command_line.h"

CommandRun DeclareInfo(CLI::App& app);
CommandRun DeclareSynth(CLI::App& app);
CommandRun DeclareRecord(CLI::App& app);
CommandRun DeclareExport(CLI::App& app);
CommandRun DeclareCheck(CLI::App& app);
CommandRun DeclareReciprocal(CLI::App& app);
CommandRun DeclareIp(CLI::App& app);
CommandRun DeclareLineNew(CLI::App& app);
CommandRun DeclareLineAdd(CLI::App& app);
CommandRun DeclareLineRemove(CLI::App& app);
CommandRun DeclareLineOffset(CLI::App& app);
CommandRun DeclareLineTopo(CLI::App& app);
CommandRun DeclareLineExclude(CLI::App& app);
CommandRun DeclareLineInclude(CLI::App& app);
CommandRun DeclareLineInfo(CLI::App& app);
CommandRun DeclareLineExport(CLI::App& app);
CommandRun DeclareSection(CLI::App& app);
CommandRun DeclarePlot(CLI::App& app);  // only where the window is built

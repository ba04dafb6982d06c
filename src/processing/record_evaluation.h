#pragma once
// Opening a survey and evaluating one of its records: the steps the window, the record
// pass and the batch tool share, so all compute exactly the same numbers.

#include <optional>
#include <string>

#include "geometry/apparent_resistivity.h"
#include "measurement/index_file.h"
#include "measurement/survey.h"
#include "measurement/workspace.h"
#include "processing/record_chargeability.h"
#include "processing/record_processor.h"

struct RecordOptions {
  bool flip_sign = false;  // "Перевернуть dU"
  bool abs_du = false;     // "Модуль dU"
};

struct OpenedSurvey {
  SharedSurvey survey;
  IndexReport report;
};

// Indexes the measurement file `name` and, when it holds records, sets WindowLen by the
// window rule. Throws InOutError as IndexFile does.
OpenedSurvey OpenSurvey(const std::string& name);

// Everything known of one evaluated record.
struct RecordEvaluation {
  RecordResultValues result;        // dU, I, the error and EP as the table and the summary line show them
  double spread_pct = 0;            // the stacking error whatever the sign of dU
  double signed_mean_du = 0;        // the mean dU before "Модуль dU"
  Resistivity resistivity{};        // K, R, ρa
  std::optional<Chargeability> ip;  // M and its gates, when asked for
};

// Evaluates record k from the curves already loaded into the workspace: its result,
// K, R and ρa, and, with ip, its chargeability (the sample-by-sample decay only with
// decay_curve). Fills *drawing when it is given.
RecordEvaluation EvaluateLoadedRecord(const Survey& survey, Workspace& work, int k, const RecordOptions& options,
                                      const IpSettings* ip = nullptr, RecordDrawing* drawing = nullptr,
                                      bool decay_curve = false);

// Loads record k through the workspace's open DataFile and evaluates it.
RecordEvaluation EvaluateRecord(const Survey& survey, Workspace& work, int k, const RecordOptions& options,
                                const IpSettings* ip = nullptr, RecordDrawing* drawing = nullptr);

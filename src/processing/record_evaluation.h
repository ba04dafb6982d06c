#pragma once
// The steps of an open and of a pass over records that the window and the batch tool
// share, so both compute exactly the same numbers.

#include <functional>
#include <memory>
#include <stdexcept>

#include "measurement/index_file.h"
#include "vari.h"

struct RecordOptions {
  bool flip_sign = false;  // "Перевернуть dU"
  bool abs_du = false;     // "Модуль dU"
};

// Indexes v.DataFileName and, when it holds records, sets WindowLen by the window rule.
IndexReport OpenSurvey(Vari& v);

// Opens the survey `name` in a state of its own and only then makes it v's, so that a
// survey that cannot be opened leaves v's survey as it was, usable. FileLoaded is false
// after it, as after every open.
IndexReport OpenSurveyInstead(Vari& v, const std::string& name);

// Loads record k through the open DataFile and computes its RecordResult (display off).
void EvaluateRecord(Vari& v, int k, const RecordOptions& options);

// Evaluates record k with display off: the window passes its own LoadRecord(k, false).
using RecordEvaluator = std::function<void(int k)>;
RecordEvaluator CoreEvaluator(Vari& v, const RecordOptions& options);

// Progress of a pass over all records: called after each record with (done, total).
// To stop the pass it throws PassCancelled; the pass then leaves what it leaves after
// any failure (no partial table: the old one stays).
using Progress = std::function<void(int done, int total)>;

struct PassCancelled : std::runtime_error {
  PassCancelled() : std::runtime_error("Cancelled") {}
};

// What a pass over all records reads of the open survey, in a state of its own, so that
// the pass can run beside the record on show.
std::unique_ptr<Vari> SurveyForPass(const Vari& v);

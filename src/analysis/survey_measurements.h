#pragma once

#include <vector>

#include "analysis/reciprocal_pairs.h"
#include "processing/record_evaluation.h"

// Every record's electrodes and transfer resistance, evaluated in one pass.
std::vector<MeasuredRecord> MeasureSurvey(Vari& v, const RecordEvaluator& evaluate, const Progress& progress = {});

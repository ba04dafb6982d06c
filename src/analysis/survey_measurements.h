#pragma once

#include <vector>

#include "analysis/reciprocal_pairs.h"
#include "processing/record_pass.h"

// Every record's electrodes and transfer resistance, from one record pass.
std::vector<MeasuredRecord> MeasureSurvey(const Survey& survey, const RecordOptions& options,
                                          const Progress& progress = {});

#pragma once

#include <string>

#include "measurement/survey.h"

// The identification line of a record: "A=1  B=2  M=3  N=4    nCh=5  nImp=6".
std::string RecordIdentification(const RecordIndexEntry& entry);

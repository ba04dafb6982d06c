#include "measurement/record_identification.h"

std::string RecordIdentification(const RecordIndexEntry& entry) {
  auto number = [](unsigned value) { return std::to_string(value); };
  return "A=" + number(entry.A) + "  B=" + number(entry.B) + "  M=" + number(entry.M) + "  N=" + number(entry.N) +
         "    nCh=" + number(entry.Channel) + "  nImp=" + number(entry.Block);
}

#pragma once
// The one walk over a survey's records. Everything that needs every record (the text
// table, the exchange formats, the check, the survey's measurements, the batch tool)
// takes its rows from here.

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "measurement/block_read_ahead.h"
#include "measurement/survey.h"
#include "processing/record_evaluation.h"

// Progress of a pass: called after each row with (done, total). To stop the pass it
// throws PassCancelled; the pass then leaves what it leaves after any failure (an
// export no partial file: the old one stays).
using Progress = std::function<void(int done, int total)>;

struct PassCancelled : std::runtime_error {
  PassCancelled() : std::runtime_error("Cancelled") {}
};

// One evaluated record as every consumer of a pass receives it.
struct RecordRow {
  int k = 0;
  RecordIndexEntry entry{};
  RecordEvaluation evaluation;
  std::shared_ptr<const RecordDrawing> drawing;  // when the pass was asked for it
};

struct PassOptions {
  RecordOptions record;
  // Every record's chargeability, computed on both cores; the rows still come in order.
  std::optional<IpSettings> ip;
  bool decay_curve = false;  // with the sample-by-sample decay (the decay view)
  // These records, in this order; none: every record in file order.
  std::vector<int> records;
  bool drawing = false;
  // Sees the blocks a pass over every record reads ahead, in file order, each once (a
  // file's stamp is hashed from them). A block the read-ahead did not bring is not seen.
  BlockReadAhead::Observer blocks_read;
};

using RowConsumer = std::function<void(const RecordRow& row)>;

// Opens the survey's file once, in a workspace of its own, reads a pass over every
// record ahead a block at a time, evaluates each record and gives on_row its row in
// order, then calls progress. A record that cannot be read ends the pass with
// InOutError after the rows before it were given.
void RecordPass(const Survey& survey, const PassOptions& options, const RowConsumer& on_row,
                const Progress& progress = {});

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "measurement/data_file.h"
#include "measurement/survey.h"

// What indexing has to tell the user beyond the index itself: the index filled up, the
// file grew beyond what the index can address, it ends inside a block (cut short while
// written or copied), or a block cannot be one (damaged), so that the rest of the file is
// not read. Each is one message for the error box.
struct IndexReport {
  std::vector<std::string> warnings;
};

// Reads the header and the electrode table of survey.DataFileName through `file` and
// indexes every (current curve, voltage curve) pair of its blocks into
// survey.RecordIndex. Stops at the first malformed block, with a warning that says where
// and what was read; throws InOutError
// when the file cannot be read or its header cannot be used. Always leaves the file
// closed; after a failure RecordCount is 0, so no old index outlives a new header.
IndexReport IndexFile(Survey& survey, DataFile& file);

// The index-full message, "Слишком много данных." line feed, carriage return, "Максимум=10000".
extern const char* const IndexFullMessage;
// Record offsets are held as int32, so indexing stops at the first block beyond 2 GiB.
extern const char* const FileTooLargeMessage;
// The file ends inside block %1 (the first one, or one after the complete ones);
// %2 complete blocks and %3 records were indexed.
extern const char* const CutShortMessage;
std::string CutShortText(int32_t block, int32_t complete_blocks, int32_t records);
// Block %1 at byte %2 has electrodes or a channel count out of range: %3 blocks and %4
// records were indexed (those of its channels before the fault among them), and the file
// holds %5 bytes from that block on.
extern const char* const NotABlockMessage;
std::string NotABlockText(int32_t block, int64_t offset, int32_t blocks, int32_t records, int64_t unread_bytes);

// A warning of IndexReport in English, for the batch tools; the window translates them
// with its other texts. A text that is none of the above is returned as it is.
std::string IndexWarningInEnglish(const std::string& warning);

#pragma once
// Every gate of every record: the long comma table of the decays ("NAME.decay.csv"), and
// the gates' times as the unified format and the general array carry them.

#include <string>
#include <vector>

#include "formats/export_format.h"
#include "formats/survey_row.h"
#include "ip/gates.h"

// The gates an export writes with every record's decay, and the pause (ms) they lie in,
// the on-time too.
struct DecayGates {
  std::vector<Gate> gates;
  double pause_ms = 0;
};

// The header of the long table:
// survey,record,A,B,M,N,gate,t1_ms,t2_ms,M_gate,M_gate_err,tau_ms,c,misfit,flags
// (M_gate and its ± in mV/V, the misfit the fit's χ² per gate, the flags' names joined by ";").
std::string DecayTableHeader();

// The lines of one record (survey: its file's name; electrodes as the comma table places
// them), one per gate; none when a value is not a number (RowChargeability::DecayComplete).
std::vector<std::string> DecayTableLines(const std::string& survey, int record, const Quadrupole& positions,
                                         const std::vector<Gate>& gates, const RowChargeability& ip);

// Whether each gate starts where the one before ends: the unified format and the general
// array give a gate list as a delay and the widths.
bool GatesFollowOneAnother(const std::vector<Gate>& gates);

// Why a format cannot carry every gate of these gates, or empty when it can: the decay's
// fit needs four gates or more, and the unified format and the general array give the
// gates as a delay and widths, with no gaps between them.
std::string DecayGatesFault(const std::vector<Gate>& gates, ExportFormat format);

// Why a format cannot say over what window M was taken, or empty when it can: the general
// array gives it as one delay and an integration time, which gates with gaps between them
// are not.
std::string ChargeabilityWindowFault(const std::vector<Gate>& gates, ExportFormat format);

// The unified format's gate-time fields as pyGIMLi's TDIP import reads them: TM0 the
// delay, TM1..TMN the widths. It takes the widths for ms when they add up to more than
// 100 and the delay when it is more than 1, and for seconds otherwise: each is written
// in ms where that reading holds, in seconds where it does not.
std::vector<std::string> GateTimeFields(const std::vector<Gate>& gates);

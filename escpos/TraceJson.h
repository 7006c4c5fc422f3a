// The printer's trace as JSON, for render --trace: every command with its byte offset and what
// it did, the printed lines with their runs of style, each page's cut and notes, and the warnings.
#pragma once

#include "escpos/Printer.h"

#include <string>

namespace escpos {

// The trace and warnings as JSON, with byte offsets.
std::string TraceJson(const Printer& P);

} // namespace escpos

// The printer's trace as JSON, for render --trace: every command with its byte offset and what
// it did, the printed lines with their runs of style, each page's cut and notes, and the warnings.
#pragma once

#include "escpos/Printer.h"
#include "receipt/JsonString.h"

#include <string>
#include <string_view>

namespace escpos {

// S as a JSON string, quotes included; <, > and & are escaped too, so it may stand in a script.
inline void JsonString(std::string& Out, std::string_view S) {
    receipt::AppendJsonString(Out, S, receipt::JsonText::Page);
}

// One command of the trace as a JSON object: offset, length, name, bytes and detail.
void TraceEntryJson(std::string& Out, const TraceEntry& E);

// The trace and warnings as JSON, with byte offsets.
std::string TraceJson(const Printer& P);

} // namespace escpos

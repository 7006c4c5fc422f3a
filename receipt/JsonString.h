// Text as a JSON string, for every JSON the system writes: the virtual printer's trace and page,
// and the command line's status answers.
#pragma once

#include <string>
#include <string_view>

namespace receipt {

// What, beyond quote and backslash, a JSON string escapes.
enum class JsonText {
    // UTF-8 passes as it is; \n, \r and \t short, other control bytes and <, > and & as \u
    // escapes, so the JSON may stand inside a page's script.
    Page,
    // Control bytes and bytes from 0x7F up as \u escapes: plain ASCII whatever the text's
    // encoding, for names and messages that come from the system or a printer.
    Ascii,
};

// Text as a JSON string, quotes included, appended to Out.
void AppendJsonString(std::string& Out, std::string_view Text, JsonText Rule);

} // namespace receipt

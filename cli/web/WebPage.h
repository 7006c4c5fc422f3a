// The one page of emulate --web: self-contained (its script and style come from the emulator
// too, nothing from elsewhere), it asks the emulator for new receipts twice a second and puts
// each on top, picture, text and trace, never as HTML.
#pragma once

#include <string_view>

namespace cli {

std::string_view WebPage();
std::string_view WebScript(); // /page.js
std::string_view WebStyle();  // /page.css

} // namespace cli

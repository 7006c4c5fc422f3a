// The one page of emulate --web: self-contained (no asset from elsewhere), it asks the emulator
// for new receipts twice a second and puts each on top, picture, text and trace, never as HTML.
#pragma once

#include <string_view>

namespace cli {

std::string_view WebPage();

} // namespace cli

// "tillmark-cli settings save|show FILE.ini": one settings file per printer.
#pragma once

#include "cli/Command.h"

namespace cli {

Command SettingsCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

} // namespace cli

#include "escpos/decoder/CommandTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The printer finds a command's handler through the first row of its id, and the decoder reads
// the length rule of the row a command's bytes name: a row that leaves either out, or gives an id
// a second handler, would be carried out some other way than it says.
TEST(CommandTable, EachIdHasOneHandlerAndEachNamedRowALengthRule) {
    for (const escpos::CommandRow& row : escpos::CommandRows()) {
        const std::string name = row.Name.empty() ? "id " + std::to_string(static_cast<int>(row.Id))
                                                  : std::string(row.Name);
        EXPECT_TRUE(row.Do != nullptr) << name;
        EXPECT_TRUE(row.Do == escpos::HandlerFor(row.Id)) << name << ": another row's handler";
        EXPECT_EQ(row.Length != nullptr, !row.Name.empty()) << name;
    }
}

} // namespace

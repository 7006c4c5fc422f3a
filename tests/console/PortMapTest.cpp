// The serial-port map as the console reads it: every value's name and text in the map's order,
// what a value without text does to the reading, and the order the port list shows.
#include "console/PortMap.h"
#include "platform/linux/registry/Registry.h"

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::DwordValue;
using platform::RegistryValue;
using platform::TextValue;
using Mapped = std::vector<console::MappedPort>;

class PortMapTest : public ::testing::Test {
protected:
    ~PortMapTest() override { platform::RestoreSerialCommMap(); }
    static void Install(std::optional<std::vector<RegistryValue>> Map) {
        platform::InstallSerialCommMapForTest(std::move(Map));
    }
};

std::string ErrorText(const std::exception_ptr& Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& error) {
        return error.what();
    }
}

TEST_F(PortMapTest, ReadsEveryNameAndTextInTheMapsOrder) {
    Install(std::vector<RegistryValue>{
        TextValue("\\Device\\ttyUSB0", "ttyUSB0"),
        RegistryValue{"\\Device\\Embedded", REG_SZ, {'C', 'O', 'M', '7', 0, 'X', 0}},
        RegistryValue{"\\Device\\Unterminated", REG_SZ, {'C', 'O', 'M', '8'}},
        RegistryValue{"\\Device\\NoData", REG_BINARY, {}},
        TextValue("\\Device\\Alias\\com9", "COM9", REG_EXPAND_SZ)});
    const console::PortMap map = console::ReadPortMap();
    EXPECT_TRUE(map.Found);
    EXPECT_FALSE(map.Error);
    // Text ends at its first NUL; a value without data is an empty port, whatever its type.
    EXPECT_EQ(map.Ports, (Mapped{{"\\Device\\ttyUSB0", "ttyUSB0"},
                                 {"\\Device\\Embedded", "COM7"},
                                 {"\\Device\\Unterminated", "COM8"},
                                 {"\\Device\\NoData", ""},
                                 {"\\Device\\Alias\\com9", "COM9"}}));
}

TEST_F(PortMapTest, AValueWithoutTextStopsTheReadingAndKeepsWhatWasRead) {
    Install(std::vector<RegistryValue>{TextValue("\\Device\\ttyS1", "COM2"),
                                       DwordValue("\\Device\\Broken", 7),
                                       TextValue("\\Device\\ttyUSB0", "ttyUSB0")});
    const console::PortMap map = console::ReadPortMap();
    EXPECT_TRUE(map.Found);
    EXPECT_EQ(map.Ports, (Mapped{{"\\Device\\ttyS1", "COM2"}}));
    ASSERT_TRUE(map.Error);
    EXPECT_EQ(ErrorText(map.Error), "the serial-port map's value '\\Device\\Broken' holds no text");
}

TEST_F(PortMapTest, AMissingMapIsNotFoundAndNoError) {
    Install(std::nullopt);
    const console::PortMap missing = console::ReadPortMap();
    EXPECT_FALSE(missing.Found);
    EXPECT_TRUE(missing.Ports.empty());
    EXPECT_FALSE(missing.Error);

    Install(std::vector<RegistryValue>{});
    const console::PortMap empty = console::ReadPortMap();
    EXPECT_TRUE(empty.Found);
    EXPECT_TRUE(empty.Ports.empty());
    EXPECT_FALSE(empty.Error);
}

TEST(SortedPorts, IgnoresLetterCaseAndKeepsEqualOnesInTheOrderGiven) {
    EXPECT_EQ(console::SortedPorts({{"a", "ttyUSB0"},
                                    {"b", "COM3"},
                                    {"c", "com1"},
                                    {"d", "Com20"},
                                    {"e", "COM1"},
                                    {"f", "acm0"},
                                    {"g", ""},
                                    {"h", "com1"}}),
              (Mapped{{"g", ""},
                      {"f", "acm0"},
                      {"c", "com1"},
                      {"e", "COM1"},
                      {"h", "com1"},
                      {"d", "Com20"},
                      {"b", "COM3"},
                      {"a", "ttyUSB0"}}));
}

} // namespace

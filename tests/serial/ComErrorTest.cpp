#include "serial/ComError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ComError, EveryCodeHasItsMessage) {
    const std::pair<std::int32_t, const char*> table[] = {
        {peOpenPort, "Unable to open com port"},
        {peWriteFile, "WriteFile function failed"},
        {peReadFile, "ReadFile function failed"},
        {peBadAsyncParam, "Invalid Async parameter"},
        {pePurgeComm, "PurgeComm function failed"},
        {peAsyncStatus, "Unable to get async status"},
        {peSetCommState, "SetCommState function failed"},
        {peSetCommTimeouts, "SetCommTimeouts failed"},
        {peSetupComm, "SetupComm function failed"},
        {peClearCommError, "ClearCommError function failed"},
        {peGetModemStatus, "GetCommModemStatus function failed"},
        {peEscapeCommFunction, "EscapeCommFunction function failed"},
        {peTransmitCommChar, "TransmitCommChar function failed"},
        {pePropertyWhileOpen, "Cannot set property while connected"},
        {peEnumPorts, "EnumPorts function failed"},
        {peStoreSettings, "Failed to store settings"},
        {peLoadSettings, "Failed to load settings"},
        {peLinkRegistration, "Link (un)registration failed"},
        {peLedStateLocked, "Cannot change led state if ComPort is selected"},
        {peWaitWithThread, "Cannot wait for event if event thread is created"},
        {peWaitForEvent, "WaitForEvent method failed"},
        {peRxBufLinked, "A component is linked to OnRxBuf event"},
        {peRegistry, "Registry error"},
    };
    std::int32_t expectedCode = 1;
    for (const auto& [code, message] : table) {
        EXPECT_EQ(code, expectedCode++) << message;
        const EComPort e(code);
        EXPECT_STREQ(e.what(), message);
        EXPECT_EQ(e.PortErrorCode(), code);
        EXPECT_EQ(e.OsErrorCode(), -1);
    }
}

TEST(ComError, AnOperatingSystemCauseAddsItsNumberToTheMessage) {
    const EComPort open(peOpenPort, 2);
    EXPECT_STREQ(open.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(open.OsErrorCode(), 2);
    EXPECT_EQ(open.PortErrorCode(), 1);

    EXPECT_STREQ(EComPort(peSetCommTimeouts, 0).what(),
                 "SetCommTimeouts failed (win error code: 0)");
    EXPECT_STREQ(EComPort(peSetupComm, -31).what(),
                 "SetupComm function failed (win error code: -31)");
    EXPECT_STREQ(EComPort(pePropertyWhileOpen).what(), "Cannot set property while connected");
}

TEST(ComError, IsARuntimeError) {
    try {
        throw EComPort(peBadAsyncParam);
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid Async parameter");
    }
}

} // namespace

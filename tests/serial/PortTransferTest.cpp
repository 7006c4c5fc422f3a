// The port over real pseudo-terminals, published through the alias folder as a user would.
#include "../platform/DeviceTestSupport.h"
#include "PortTestSupport.h"

#include <dirent.h>
#include <filesystem>

namespace {

using porttest::ServeUntil;

std::size_t CountEntries(const char* Folder) {
    std::size_t n = 0;
    if (DIR* d = ::opendir(Folder)) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

// The process's descriptors: wake-up counters (eventfd) apart from the rest, as each thread
// that ever waits on a device keeps one for as long as it lives.
struct Descriptors {
    std::size_t WakeCounters = 0;
    std::size_t Others = 0;
};

Descriptors CountDescriptors() {
    Descriptors counted;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error).string();
        ++(target == "anon_inode:[eventfd]" ? counted.WakeCounters : counted.Others);
    }
    return counted;
}

class PtyPort : public ::testing::Test {
protected:
    void SetUp() override {
        Env.Alias("ptyport", Far.Slave);
        Port.SetPort("ptyport");
    }
    testsupport::DeviceEnvironment Env;
    testsupport::Pty Far;
    TComPort Port{nullptr};
};

// Every byte value and the write time-out: see PtyTransferTest, shared with Windows.

TEST_F(PtyPort, OnRxCharReportsTheBytesTheFarSideSent) {
    std::int32_t count = 0;
    Port.OnRxChar = [&](TObject*, std::int32_t n) { count = n; };
    Port.OpenPort();
    ASSERT_EQ(::write(Far.Master, "hello", 5), 5);
    ServeUntil([&] { return count != 0; });
    EXPECT_EQ(count, 5);
    char buffer[5];
    EXPECT_EQ(Port.ReceiveBytes(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    Port.ClosePort();
}

TEST_F(PtyPort, AThousandPrintCyclesLeaveNoThreadOrDescriptorBehind) {
    // The first cycle may start the threads that serve every port and park for reuse; none
    // after it may add any.
    Port.OpenPort();
    Port.ClosePort();
    const Descriptors before = CountDescriptors();
    const std::size_t threads = CountEntries("/proc/self/task");
    std::size_t farBytes = 0;
    for (int i = 0; i < 1000; ++i) {
        Port.OpenPort();
        ASSERT_TRUE(Port.ThreadCreated());
        ASSERT_EQ(Port.SendText("receipt\n"), 8);
        Port.ClosePort();
        farBytes += testsupport::ReadMaster(Far.Master, 8).size();
    }
    EXPECT_EQ(farBytes, 8000u);
    const Descriptors after = CountDescriptors();
    EXPECT_EQ(after.Others, before.Others);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    // At most one per thread, whatever the number of cycles.
    EXPECT_LE(after.WakeCounters, threads);
}

TEST_F(PtyPort, ASecondPortCannotOpenTheSameDevice) {
    Port.OpenPort();
    TComPort other(nullptr);
    other.SetPort("ptyport");
    try {
        other.OpenPort();
        FAIL() << "opened a port in use";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), peOpenPort);
        EXPECT_EQ(e.OsErrorCode(), static_cast<std::int32_t>(ERROR_ACCESS_DENIED));
    }
}

} // namespace

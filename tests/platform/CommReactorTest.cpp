// The reactor behind every open comm device, driven with pipes: calls reach the client whose
// descriptor or deadline is due, and no other.
#include "platform/linux/comm/CommReactor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

using CommClock = std::chrono::steady_clock;

// Records its calls and lets a test wait for the first one.
class Client : public platform::ReactorClient {
public:
    Client() { EXPECT_EQ(::pipe2(Fds, O_CLOEXEC | O_NONBLOCK), 0); }
    ~Client() override {
        Entry.Close();
        ::close(Fds[0]);
        ::close(Fds[1]);
    }
    void DescriptorReady(std::uint32_t Events) override {
        std::lock_guard held(Lock);
        char byte = 0;
        // Taken, so level-triggered readiness does not call again.
        while (::read(Fds[0], &byte, 1) == 1) {
        }
        Record(Events & EPOLLIN ? "ready" : "other");
    }
    void DeadlinePassed() override {
        std::lock_guard held(Lock);
        Entry.DeadlineReported();
        Record("deadline");
    }
    void MakeReadable() { ASSERT_EQ(::write(Fds[1], "x", 1), 1); }
    std::string AwaitFirst() { return First.get_future().get(); }
    std::vector<std::string> Calls() {
        std::lock_guard held(Lock);
        return Seen;
    }

    std::mutex Lock; // guards Entry as an engine's lock does
    platform::ReactorEntry Entry;
    int Fds[2] = {-1, -1};

private:
    void Record(const std::string& Call) {
        Seen.push_back(Call);
        if (Seen.size() == 1)
            First.set_value(Call);
    }
    std::vector<std::string> Seen;
    std::promise<std::string> First;
};

std::shared_ptr<Client> Registered() {
    auto client = std::make_shared<Client>();
    std::lock_guard held(client->Lock);
    EXPECT_EQ(client->Entry.Open(client), 0);
    EXPECT_EQ(client->Entry.Watch(client->Fds[0], EPOLLIN), 0);
    return client;
}

TEST(CommReactor, AReadyDescriptorCallsItsOwnClientOnly) {
    auto quiet = Registered();
    auto busy = Registered();
    busy->MakeReadable();
    EXPECT_EQ(busy->AwaitFirst(), "ready");
    // A deadline on the quiet one, later than the call above, tells when the reactor has gone
    // round again without calling it for the other's descriptor.
    {
        std::lock_guard held(quiet->Lock);
        quiet->Entry.WakeAt(CommClock::now());
    }
    EXPECT_EQ(quiet->AwaitFirst(), "deadline");
    EXPECT_EQ(quiet->Calls(), std::vector<std::string>{"deadline"});
}

TEST(CommReactor, ADeadlineIsCalledOnceAndNotBeforeItsTime) {
    auto client = Registered();
    const auto start = CommClock::now();
    {
        std::lock_guard held(client->Lock);
        client->Entry.WakeAt(start + std::chrono::milliseconds(30));
    }
    EXPECT_EQ(client->AwaitFirst(), "deadline");
    EXPECT_GE(CommClock::now() - start, std::chrono::milliseconds(30));
    // An earlier deadline set afterwards wakes the sleeping reactor rather than waiting behind
    // a later one; the first is not called again.
    auto other = Registered();
    {
        std::lock_guard held(client->Lock);
        client->Entry.WakeAt(CommClock::now() + std::chrono::hours(1));
    }
    {
        std::lock_guard held(other->Lock);
        other->Entry.WakeAt(CommClock::now() + std::chrono::milliseconds(5));
    }
    EXPECT_EQ(other->AwaitFirst(), "deadline");
    EXPECT_EQ(client->Calls(), std::vector<std::string>{"deadline"});
}

TEST(CommReactor, AnUnwatchedDescriptorCallsNobody) {
    auto client = Registered();
    {
        std::lock_guard held(client->Lock);
        client->Entry.Watch(-1, 0);
    }
    client->MakeReadable();
    {
        std::lock_guard held(client->Lock);
        client->Entry.WakeAt(CommClock::now());
    }
    EXPECT_EQ(client->AwaitFirst(), "deadline");
    EXPECT_EQ(client->Calls(), std::vector<std::string>{"deadline"});
}

} // namespace

#include "platform/linux/comm/CommReactor.h"

#include <cerrno>
#include <chrono>
#include <mutex>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr std::uint64_t KickId = 0;

class Reactor {
public:
    // The process's reactor, started on first use; null with Error set when it cannot start.
    static Reactor* Get(int& Error) {
        static std::mutex creating;
        static Reactor* instance = nullptr;
        std::lock_guard held(creating);
        if (!instance) {
            // Lives as long as the process: engines may close from static destructors.
            auto* created = new Reactor();
            Error = created->Start();
            if (Error != 0) {
                delete created;
                return nullptr;
            }
            instance = created;
        }
        return instance;
    }

    std::uint64_t Add(std::weak_ptr<ReactorClient> Client) {
        std::lock_guard held(Lock);
        const std::uint64_t id = NextId++;
        Clients.emplace(id, Slot{std::move(Client), std::nullopt});
        return id;
    }

    void Remove(std::uint64_t Id) {
        std::lock_guard held(Lock);
        Clients.erase(Id);
    }

    int Control(int Operation, int Fd, std::uint32_t Events, std::uint64_t Id) {
        epoll_event event{};
        event.events = Events;
        event.data.u64 = Id;
        return epoll_ctl(Epoll, Operation, Fd, &event) < 0 ? errno : 0;
    }

    void SetDeadline(std::uint64_t Id, std::optional<SteadyTime> When) {
        std::lock_guard held(Lock);
        auto it = Clients.find(Id);
        if (it == Clients.end())
            return;
        it->second.Deadline = When;
        // An awake reactor looks at every deadline before it sleeps again; a sleeping one is
        // woken only when this deadline comes before the end of its sleep.
        if (!When || Awake || (SleepingUntil && *SleepingUntil <= *When))
            return;
        SleepingUntil = When;
        const std::uint64_t one = 1;
        // A full counter already wakes the reactor, so a failed write needs no retry.
        [[maybe_unused]] const auto written = ::write(Kick, &one, sizeof one);
    }

private:
    struct Slot {
        std::weak_ptr<ReactorClient> Client;
        std::optional<SteadyTime> Deadline;
    };

    int Start() {
        Epoll = epoll_create1(EPOLL_CLOEXEC);
        if (Epoll < 0)
            return errno;
        Kick = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (Kick < 0 || Control(EPOLL_CTL_ADD, Kick, EPOLLIN, KickId) != 0) {
            const int error = errno;
            ::close(Epoll);
            if (Kick >= 0)
                ::close(Kick);
            return error;
        }
        try {
            std::thread thread([this] { Run(); });
            pthread_setname_np(thread.native_handle(), "comm-reactor");
            thread.detach();
        } catch (const std::system_error&) {
            ::close(Epoll);
            ::close(Kick);
            return EAGAIN;
        }
        return 0;
    }

    // Under Lock: the time to sleep in epoll_wait, in milliseconds, -1 for no limit.
    int PlanSleep() {
        SleepingUntil.reset();
        for (const auto& [id, slot] : Clients)
            if (slot.Deadline && (!SleepingUntil || *slot.Deadline < *SleepingUntil))
                SleepingUntil = slot.Deadline;
        Awake = false;
        return PollTimeout(SleepingUntil);
    }

    void Run() {
        std::vector<epoll_event> events(64);
        std::vector<std::pair<std::shared_ptr<ReactorClient>, std::uint32_t>> ready;
        std::vector<std::shared_ptr<ReactorClient>> due;
        for (;;) {
            int timeout = 0;
            {
                std::lock_guard held(Lock);
                timeout = PlanSleep();
            }
            const int count =
                epoll_wait(Epoll, events.data(), static_cast<int>(events.size()), timeout);
            {
                std::lock_guard held(Lock);
                Awake = true;
                for (int i = 0; i < count; ++i) {
                    // epoll_event is packed: copy its fields out rather than bind to them.
                    const std::uint64_t id = events[static_cast<std::size_t>(i)].data.u64;
                    const std::uint32_t bits = events[static_cast<std::size_t>(i)].events;
                    if (id == KickId) {
                        std::uint64_t value = 0;
                        [[maybe_unused]] const auto got = ::read(Kick, &value, sizeof value);
                        continue;
                    }
                    auto it = Clients.find(id);
                    if (it == Clients.end())
                        continue;
                    if (auto client = it->second.Client.lock())
                        ready.emplace_back(std::move(client), bits);
                }
                const auto now = std::chrono::steady_clock::now();
                for (auto& [id, slot] : Clients) {
                    if (!slot.Deadline || *slot.Deadline > now)
                        continue;
                    slot.Deadline.reset();
                    if (auto client = slot.Client.lock())
                        due.push_back(std::move(client));
                }
            }
            for (auto& [client, bits] : ready)
                client->DescriptorReady(bits);
            for (auto& client : due)
                client->DeadlinePassed();
            // Dropped here, outside the lock: the last reference may close an engine.
            ready.clear();
            due.clear();
        }
    }

    std::mutex Lock;
    std::unordered_map<std::uint64_t, Slot> Clients;
    std::uint64_t NextId = KickId + 1;
    int Epoll = -1;
    int Kick = -1;
    bool Awake = true;
    std::optional<SteadyTime> SleepingUntil;
};

Reactor* Instance() {
    int error = 0;
    return Reactor::Get(error);
}

} // namespace

int ReactorEntry::Open(std::weak_ptr<ReactorClient> Client) {
    int error = 0;
    Reactor* reactor = Reactor::Get(error);
    if (!reactor)
        return error;
    Id = reactor->Add(std::move(Client));
    return 0;
}

int ReactorEntry::Watch(int NewFd, std::uint32_t NewEvents) {
    if (Id == 0 || (NewFd == Fd && NewEvents == Events))
        return 0;
    Reactor* reactor = Instance();
    if (Fd >= 0 && NewFd != Fd) {
        reactor->Control(EPOLL_CTL_DEL, Fd, 0, Id);
        Fd = -1;
    }
    if (NewFd < 0)
        return 0;
    const int error =
        reactor->Control(Fd < 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, NewFd, NewEvents, Id);
    if (error != 0)
        return error;
    Fd = NewFd;
    Events = NewEvents;
    return 0;
}

void ReactorEntry::WakeAt(std::optional<SteadyTime> When) {
    if (Id == 0 || When == Deadline)
        return;
    Deadline = When;
    Instance()->SetDeadline(Id, When);
}

void ReactorEntry::Close() {
    if (Id == 0)
        return;
    Watch(-1, 0);
    Instance()->Remove(Id);
    Id = 0;
    Deadline.reset();
}

} // namespace platform

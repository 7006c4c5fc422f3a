// The sockets over loopback, the same on every system: bytes both ways, the far side's close, the
// stop signal ending waits, and failures in plain words with their codes.
#include "console/net/Socket.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

using namespace console;

const TEndpoint Loopback{"127.0.0.1", 0};

// A connected pair: the client's end and the listener's.
struct Pair {
    TListener Listener{Loopback};
    TStopSignal Stop;
    TSocket Client = TSocket::Connect(Listener.Bound(), 5000);
    TSocket Server = *Listener.Accept(Stop);
};

TEST(SocketTest, BytesCrossBothWaysAndFinishEndsInClose) {
    Pair pair;
    EXPECT_EQ(pair.Server.Peer().rfind("127.0.0.1:", 0), 0u) << pair.Server.Peer();
    EXPECT_EQ(pair.Client.Receive(16, 0).What, TReceived::TimedOut);

    pair.Client.Send(std::string("\x10\x04\x01", 3), 5000);
    TReceived asked = pair.Server.Receive(16, 5000);
    EXPECT_EQ(asked.What, TReceived::Data);
    EXPECT_EQ(asked.Bytes, std::string("\x10\x04\x01", 3));

    pair.Server.Send("\x16", 5000);
    EXPECT_EQ(pair.Client.Receive(16, 5000).Bytes, "\x16");

    pair.Client.Finish();
    EXPECT_EQ(pair.Server.Receive(16, 5000).What, TReceived::Closed);
}

TEST(SocketTest, StopEndsWaitsButBytesComeFirst) {
    Pair pair;
    pair.Client.Send("xy", 5000);
    // Once x is here, so is y: they came in one piece.
    EXPECT_EQ(pair.Server.Receive(1, 5000).Bytes, "x");

    pair.Stop.Raise();
    EXPECT_TRUE(pair.Stop.Raised());
    EXPECT_EQ(pair.Server.Receive(16, -1, &pair.Stop).Bytes, "y");
    EXPECT_EQ(pair.Server.Receive(16, -1, &pair.Stop).What, TReceived::Stopped);

    TStopSignal later;
    std::thread stopper([&] { later.Raise(); });
    EXPECT_FALSE(pair.Listener.Accept(later).has_value());
    stopper.join();
}

TEST(SocketTest, FailuresInPlainWords) {
    const TListener busy(Loopback);
    TEndpoint closed;
    {
        const TListener gone(Loopback);
        closed = gone.Bound();
    }
    const struct {
        const char* What;
        std::function<void()> Act;
        std::string Words;
        TNetCode Code;
    } cases[] = {
        {"connect to a closed port", [&] { TSocket::Connect(closed, 5000); }, "connection refused",
         TNetCode::Refused},
        {"listen on a taken port", [&] { TListener again(busy.Bound()); }, "address already in use",
         TNetCode::AddressInUse},
        {"an endpoint without its ]", [] { ParseEndpoint("[::1", 9100); },
         "\"[::1\": no ] after the IPv6 address", TNetCode::BadEndpoint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        try {
            c.Act();
            ADD_FAILURE() << "no error";
        } catch (const ENetError& e) {
            EXPECT_EQ(e.what(), c.Words);
            EXPECT_EQ(e.Code(), c.Code);
        }
    }
}

TEST(SocketTest, EndpointsTakeAHostAPortFrom1To65535AndIPv6InBrackets) {
    const struct {
        const char* Text;
        bool AnyPort;     // port 0 allowed, as a listener takes it
        const char* Host; // nullptr: refused
        std::uint16_t Port;
    } cases[] = {
        {"printer", false, "printer", 9100},
        {"printer:9101", false, "printer", 9101},
        {"10.0.0.1:1", false, "10.0.0.1", 1},
        {"10.0.0.1:65535", false, "10.0.0.1", 65535},
        {"[::1]", false, "::1", 9100},
        {"[::1]:9101", false, "::1", 9101},
        {"[fe80::1%lo]:80", false, "fe80::1%lo", 80},
        {"127.0.0.1:0", true, "127.0.0.1", 0},
        {"[::1]:0", true, "::1", 0},
        {"10.0.0.1:0", false, nullptr, 0},
        {"[::1]:0", false, nullptr, 0},
        {"10.0.0.1:65536", false, nullptr, 0},
        {"10.0.0.1:65536", true, nullptr, 0},
        {"[::1]:65536", true, nullptr, 0},
        {"10.0.0.1:4294967297", false, nullptr, 0},
        {"10.0.0.1:-1", false, nullptr, 0},
        {"10.0.0.1:", false, nullptr, 0},
        {"10.0.0.1:80x", false, nullptr, 0},
        {"::1", false, nullptr, 0},
        {"[::1", false, nullptr, 0},
        {"[::1]:", false, nullptr, 0},
        {"[::1]9100", false, nullptr, 0},
        {"[]:9100", false, nullptr, 0},
        {":9100", false, nullptr, 0},
        {"", false, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            const TEndpoint got = ParseEndpoint(c.Text, 9100, c.AnyPort);
            ASSERT_NE(c.Host, nullptr) << "taken as " << got.Host << " port " << got.Port;
            EXPECT_EQ(got.Host, c.Host);
            EXPECT_EQ(got.Port, c.Port);
            // What an endpoint is shown as reads back as the same endpoint.
            EXPECT_EQ(ParseEndpoint(got.Text(), 1, true).Host, got.Host) << got.Text();
        } catch (const ENetError& e) {
            EXPECT_EQ(c.Host, nullptr) << e.what();
        }
    }
}

} // namespace

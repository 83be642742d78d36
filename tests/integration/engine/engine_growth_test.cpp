// How many connections a run keeps, decided against modelled servers: each connection
// capped, one limit shared by all, and a run limited by our own processor.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/connection_growth.h"

namespace korvane::xldl {
namespace {

constexpr double kTick = 0.05;  // the run samples every 50 ms

struct Trace {
    int most = 0;  // connections wanted at any time
    int last = 0;  // connections wanted at the end
    bool settled = false;
};

// Runs the policy for `seconds` against a server whose total rate (bytes/s) for a number of
// receiving connections is `rate`; `waitShare` of their time they wait for the server. New
// connections start receiving `lag` seconds after they are wanted.
Trace Simulate(int start, const std::function<double(int)>& rate, double waitShare,
               double lag = 0) {
    ConnectionGrowth growth(start, 16);
    ConnectionGrowth::Sample now;
    Trace trace;
    double grewAt = 0;
    int before = start;
    for (double t = kTick; t <= 6; t += kTick) {
        int n = growth.Connections();
        int receiving = t - grewAt >= lag ? n : std::min(n, before);
        now.seconds = t;
        now.received += static_cast<std::int64_t>(rate(receiving) * kTick);
        now.waited += waitShare * receiving * kTick;
        now.running = n;
        now.receiving = receiving;
        growth.Update(now);
        if (growth.Connections() > n) {
            grewAt = t;
            before = n;
        }
        trace.most = std::max(trace.most, growth.Connections());
    }
    trace.last = growth.Connections();
    trace.settled = growth.Settled();
    return trace;
}

double Capped(int connections) {
    return connections * double(4 << 20);
}

TEST(ConnectionGrowth, MoreConnectionsWhereEachIsCappedAsManyAsPay) {
    // Each connection capped: all the way to the ceiling, also when the new connections
    // start receiving a moment late (a distant server).
    for (double lag : {0.0, 0.2}) {
        Trace capped = Simulate(5, Capped, 0.9, lag);
        EXPECT_EQ(capped.last, 16) << "lag " << lag;
        EXPECT_TRUE(capped.settled);
    }
    // Capped, but the server answers at most 8 connections at a time: as many are kept.
    Trace limited = Simulate(
        5, [](int n) { return Capped(std::min(n, 8)); }, 0.9);
    EXPECT_EQ(limited.most, 16);
    EXPECT_EQ(limited.last, 8);
}

TEST(ConnectionGrowth, TheStartingCountWhereMoreConnectionsOnlyShare) {
    // One slow line for all connections: the new ones bring nothing and close again.
    Trace shared = Simulate(
        5, [](int) { return 8e6; }, 0.9);
    EXPECT_EQ(shared.last, 5);
    EXPECT_TRUE(shared.settled);
    // A little gain is not worth a connection: eleven more for a tenth more.
    EXPECT_EQ(Simulate(
                  5, [](int n) { return n > 5 ? 8.8e6 : 8e6; }, 0.9)
                  .last,
              5);
    // Connections that hardly wait for the server are limited by us: none is even tried.
    Trace busy = Simulate(
        5, [](int n) { return n * 300e6; }, 0.05);
    EXPECT_EQ(busy.most, 5);
    EXPECT_TRUE(busy.settled);
    // One stream asked for stays one stream; a run at the ceiling stays there.
    EXPECT_EQ(Simulate(1, Capped, 0.9).most, 1);
    EXPECT_EQ(Simulate(16, Capped, 0.9).most, 16);
}

}  // namespace
}  // namespace korvane::xldl

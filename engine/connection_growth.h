// How many connections a transfer run keeps open. A run starts with the record's count.
// When its connections mostly wait for the server, it opens more, up to a ceiling, and
// measures what they bring: where the server limits each connection on its own, each new
// one adds about as much as an old one, and the run keeps as many as paid for themselves.
// Where the connections only share one limit (a slow line, a busy server) the new ones
// bring nothing and close again; where our own processor or disk is the limit, the
// connections hardly wait for the server and none is tried.
// Portable (no Win32): the decisions are tested against modelled servers.
#pragma once

#include <cstdint>

namespace korvane::xldl {

class ConnectionGrowth {
  public:
    // What the run's connections did so far, sampled as it goes.
    struct Sample {
        double seconds = 0;         // since the connections started
        std::int64_t received = 0;  // bytes read from the network by all of them
        double waited = 0;          // seconds they spent waiting for the server, summed
        int running = 0;            // connections of the run at work
        int receiving = 0;          // of those, the ones that have received data
    };

    ConnectionGrowth(int start, int ceiling);

    void Update(const Sample& now);
    // The connections the run should have now; those numbered from here on leave.
    int Connections() const { return connections_; }
    bool Settled() const { return phase_ == Phase::kSettled; }

  private:
    // Each measuring window starts once every connection receives, after their first
    // bytes: a rate-limited server sends a burst at the start of a response.
    enum class Phase { kStartBase, kBase, kStartMeasure, kMeasure, kSettled };
    bool AllReceiving(const Sample& now) const;
    bool WindowDone(const Sample& now) const;
    double WindowRate(const Sample& now) const;
    void AfterBase(const Sample& now);
    void AfterMeasure(const Sample& now);

    int ceiling_;
    int connections_;
    Phase phase_ = Phase::kStartBase;
    Sample windowStart_;  // of the window being measured, or of the wait for it
    double rateBefore_ = 0;
    int countBefore_ = 0;
};

}  // namespace korvane::xldl

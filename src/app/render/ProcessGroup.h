#pragma once

#include "engine/OrbitRunState.h"

#include <cstdint>
#include <memory>
#include <vector>

class TSharedHits;

// The processes one render is shared among: one, or the ranks mpirun started. Rank 0 writes
// the picture; every call here is made by every process in the same order.
class TProcessGroup {
public:
    virtual ~TProcessGroup() = default;
    virtual int Rank() const = 0;
    virtual int Size() const = 0;
    // Rank 0's value, on every process.
    virtual std::uint32_t Broadcast(std::uint32_t value) = 0;
    // Whether the value is the same on every process.
    virtual bool SameOnAll(std::uint64_t value) = 0;
    // The progress of the whole render from each process's own: rank 0 learns the others' as
    // it goes; EndProgress waits until each has said it is done.
    virtual double JobProgress(double ownFraction) = 0;
    virtual void EndProgress() = 0;
    // Adds every process's hits into rank 0's, a bounded part at a time: counters as one
    // render's would add up, keys taking the larger.
    virtual void ReduceHits(TSharedHits& hits, std::int32_t increment) = 0;
    // Rank 0 receives the states of all orbits, each process holding those of its own
    // consecutive orbits; the others receive nothing.
    virtual std::vector<TOrbitRunState> GatherOrbitStates(const std::vector<TOrbitRunState>& own,
                                                          int orbits) = 0;
    // Ends every process of the group at once with that exit code.
    [[noreturn]] virtual void Abort(int exitCode) = 0;
};

// One process alone: every operation is its own.
class TSingleProcess final : public TProcessGroup {
public:
    int Rank() const override { return 0; }
    int Size() const override { return 1; }
    std::uint32_t Broadcast(std::uint32_t value) override { return value; }
    bool SameOnAll(std::uint64_t) override { return true; }
    double JobProgress(double ownFraction) override { return ownFraction; }
    void EndProgress() override {}
    void ReduceHits(TSharedHits&, std::int32_t) override {}
    std::vector<TOrbitRunState> GatherOrbitStates(const std::vector<TOrbitRunState>& own,
                                                  int) override {
        return own;
    }
    [[noreturn]] void Abort(int exitCode) override;
};

// The group this process belongs to: the ranks of mpirun where the program was built for it and
// started by it, otherwise this process alone.
std::unique_ptr<TProcessGroup> JoinProcessGroup(int& argc, char**& argv);

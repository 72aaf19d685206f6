#pragma once

#include "app/render/ProcessGroup.h"

#include <mpi.h>

#include <vector>

// The ranks mpirun started, each running its own share of the orbits on its threads. Only the
// thread that runs the render calls MPI (MPI_THREAD_FUNNELED); progress goes to rank 0 in small
// messages of their own, the counters in bounded parts.
class TMpiProcessGroup final : public TProcessGroup {
public:
    TMpiProcessGroup(int& argc, char**& argv);
    ~TMpiProcessGroup() override;
    TMpiProcessGroup(const TMpiProcessGroup&) = delete;
    TMpiProcessGroup& operator=(const TMpiProcessGroup&) = delete;

    int Rank() const override { return FRank; }
    int Size() const override { return FSize; }
    std::uint32_t Broadcast(std::uint32_t value) override;
    bool SameOnAll(std::uint64_t value) override;
    double JobProgress(double ownFraction) override;
    void EndProgress() override;
    void ReduceHits(TSharedHits& hits, std::int32_t increment) override;
    std::vector<TOrbitRunState> GatherOrbitStates(const std::vector<TOrbitRunState>& own,
                                                  int orbits) override;
    [[noreturn]] void Abort(int exitCode) override;

private:
    // Rank 0 takes in the progress messages that have come; with `untilAllDone`, until every
    // rank has sent its last.
    void ReceiveProgress(bool untilAllDone);
    template <typename T>
    void ReduceInParts(T* values, std::size_t count, MPI_Datatype type, MPI_Op operation);

    int FRank = 0;
    int FSize = 1;
    // Rank 0: the latest fraction of each rank, and which have sent their last.
    std::vector<double> FFractions;
    std::vector<bool> FDone;
    // Other ranks: the fraction in flight, and its request.
    double FSent = 0.0;
    MPI_Request FSending = MPI_REQUEST_NULL;
};

#include "app/render/launch/MpiProcessGroup.h"

#include "engine/SharedHits.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <span>
#include <type_traits>

namespace {

constexpr int ProgressTag = 1;
// A last progress message says the rank is done.
constexpr double LastProgress = -1.0;
// The values reduced at once: a few MiB, so no rank holds a second copy of a large picture.
constexpr std::size_t ValuesPerPart = std::size_t{1} << 20;

// The increment the counters of the render take; the reduction function takes no argument.
std::int32_t ReducedIncrement = 0;

template <typename T> void AddCountersOperation(void* in, void* inout, int* length, MPI_Datatype*) {
    const auto count = static_cast<std::size_t>(*length);
    TSharedHits::AddCounters(std::span<const T>(static_cast<const T*>(in), count),
                             std::span<T>(static_cast<T*>(inout), count), ReducedIncrement);
}

// Whether mpirun (or another launcher of MPI programs) started this process.
bool StartedByMpiLauncher() {
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE"})
        if (std::getenv(name))
            return true;
    return false;
}

} // namespace

TMpiProcessGroup::TMpiProcessGroup(int& argc, char**& argv) {
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &FRank);
    MPI_Comm_size(MPI_COMM_WORLD, &FSize);
    FFractions.assign(static_cast<std::size_t>(FSize), 0.0);
    FDone.assign(static_cast<std::size_t>(FSize), false);
}

TMpiProcessGroup::~TMpiProcessGroup() {
    MPI_Finalize();
}

std::uint32_t TMpiProcessGroup::Broadcast(std::uint32_t value) {
    MPI_Bcast(&value, 1, MPI_UINT32_T, 0, MPI_COMM_WORLD);
    return value;
}

bool TMpiProcessGroup::SameOnAll(std::uint64_t value) {
    std::uint64_t low = value, high = value;
    MPI_Allreduce(MPI_IN_PLACE, &low, 1, MPI_UINT64_T, MPI_MIN, MPI_COMM_WORLD);
    MPI_Allreduce(MPI_IN_PLACE, &high, 1, MPI_UINT64_T, MPI_MAX, MPI_COMM_WORLD);
    return low == high;
}

double TMpiProcessGroup::JobProgress(double ownFraction) {
    if (FRank != 0) {
        // One message in flight at a time: a slow rank 0 never gets a backlog.
        int sent = 1;
        MPI_Test(&FSending, &sent, MPI_STATUS_IGNORE);
        if (sent) {
            FSent = ownFraction;
            MPI_Isend(&FSent, 1, MPI_DOUBLE, 0, ProgressTag, MPI_COMM_WORLD, &FSending);
        }
        return ownFraction;
    }
    FFractions[0] = ownFraction;
    ReceiveProgress(false);
    return std::accumulate(FFractions.begin(), FFractions.end(), 0.0) / FSize;
}

void TMpiProcessGroup::EndProgress() {
    if (FRank != 0) {
        MPI_Wait(&FSending, MPI_STATUS_IGNORE);
        double last = LastProgress;
        MPI_Send(&last, 1, MPI_DOUBLE, 0, ProgressTag, MPI_COMM_WORLD);
        return;
    }
    ReceiveProgress(true);
}

void TMpiProcessGroup::ReceiveProgress(bool untilAllDone) {
    FDone[0] = true;
    for (;;) {
        MPI_Status status;
        const bool allDone =
            std::all_of(FDone.begin(), FDone.end(), [](bool done) { return done; });
        if (untilAllDone && !allDone) {
            MPI_Probe(MPI_ANY_SOURCE, ProgressTag, MPI_COMM_WORLD, &status);
        } else {
            int waiting = 0;
            MPI_Iprobe(MPI_ANY_SOURCE, ProgressTag, MPI_COMM_WORLD, &waiting, &status);
            if (!waiting)
                return;
        }
        double fraction = 0.0;
        MPI_Recv(&fraction, 1, MPI_DOUBLE, status.MPI_SOURCE, ProgressTag, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
        const auto rank = static_cast<std::size_t>(status.MPI_SOURCE);
        if (fraction == LastProgress)
            FDone[rank] = true;
        else
            FFractions[rank] = fraction;
    }
}

template <typename T>
void TMpiProcessGroup::ReduceInParts(T* values, std::size_t count, MPI_Datatype type,
                                     MPI_Op operation) {
    for (std::size_t first = 0; first < count; first += ValuesPerPart) {
        const int part = static_cast<int>(std::min(ValuesPerPart, count - first));
        if (FRank == 0)
            MPI_Reduce(MPI_IN_PLACE, values + first, part, type, operation, 0, MPI_COMM_WORLD);
        else
            MPI_Reduce(values + first, nullptr, part, type, operation, 0, MPI_COMM_WORLD);
    }
}

void TMpiProcessGroup::ReduceHits(TSharedHits& hits, std::int32_t increment) {
    ReducedIncrement = increment;
    MPI_Op addCounters = MPI_OP_NULL;
    if (!hits.NarrowCounters().empty()) {
        MPI_Op_create(&AddCountersOperation<std::uint16_t>, 1, &addCounters);
        ReduceInParts(hits.NarrowCounters().data(), hits.NarrowCounters().size(), MPI_UINT16_T,
                      addCounters);
    } else {
        MPI_Op_create(&AddCountersOperation<std::int32_t>, 1, &addCounters);
        ReduceInParts(hits.WideCounters().data(), hits.WideCounters().size(), MPI_INT32_T,
                      addCounters);
    }
    MPI_Op_free(&addCounters);
    // A pixel's key names the highest orbit that hit it: the largest key wins.
    ReduceInParts(hits.Keys().data(), hits.Keys().size(), MPI_UINT32_T, MPI_MAX);
}

std::vector<TOrbitRunState>
TMpiProcessGroup::GatherOrbitStates(const std::vector<TOrbitRunState>& own, int orbits) {
    static_assert(std::is_trivially_copyable_v<TOrbitRunState>);
    // Every rank runs the same program on the same kind of machine: the states go as bytes.
    const int ownBytes = static_cast<int>(own.size() * sizeof(TOrbitRunState));
    std::vector<int> counts(static_cast<std::size_t>(FSize)), offsets(counts.size());
    MPI_Gather(&ownBytes, 1, MPI_INT, counts.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    std::exclusive_scan(counts.begin(), counts.end(), offsets.begin(), 0);
    std::vector<TOrbitRunState> all(FRank == 0 ? static_cast<std::size_t>(orbits) : 0);
    MPI_Gatherv(own.data(), ownBytes, MPI_BYTE, all.data(), counts.data(), offsets.data(), MPI_BYTE,
                0, MPI_COMM_WORLD);
    return all;
}

void TMpiProcessGroup::Abort(int exitCode) {
    MPI_Abort(MPI_COMM_WORLD, exitCode);
    std::_Exit(exitCode);
}

std::unique_ptr<TProcessGroup> JoinProcessGroup(int& argc, char**& argv) {
    if (!StartedByMpiLauncher())
        return std::make_unique<TSingleProcess>();
    return std::make_unique<TMpiProcessGroup>(argc, argv);
}

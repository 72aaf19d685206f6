// The reduction of a large picture's counters to rank 0, as a render shared by mpirun ends:
//   mpirun -np 2 MpiReduceBench [WIDTH HEIGHT ROUNDS]   (default 4096 3072 5)
// Each rank fills its counters as a render would leave them, about a third of the pixels hit.
#include "app/render/launch/MpiProcessGroup.h"
#include "engine/SharedHits.h"

#include <mpi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
    TMpiProcessGroup group(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 4096;
    const int height = argc > 2 ? std::atoi(argv[2]) : 3072;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    TSharedHits hits(width, height, TSharedHits::TCounterWidth::Narrow16);
    std::mt19937 random(static_cast<unsigned>(group.Rank() + 1));
    for (std::size_t pixel = 0; pixel < hits.Pixels(); ++pixel)
        if (random() % 3 == 0)
            hits.Plot<false>(pixel, static_cast<int>(random() % 3), 40,
                             TSharedHits::KeyOf(group.Rank(), static_cast<int>(random() % 3)));
    double best = 1e9, total = 0.0;
    for (int round = 0; round < rounds; ++round) {
        MPI_Barrier(MPI_COMM_WORLD);
        const double start = MPI_Wtime();
        group.ReduceHits(hits, 40);
        const double seconds = MPI_Wtime() - start;
        best = std::min(best, seconds);
        total += seconds;
    }
    if (group.Rank() == 0)
        std::printf("reduce %dx%d (%.0f MiB of counters and keys) over %d ranks: best %.3f s, "
                    "mean %.3f s\n",
                    width, height,
                    static_cast<double>(TSharedHits::Bytes(width, height, hits.CounterWidth())) /
                        (1 << 20),
                    group.Size(), best, total / rounds);
    return 0;
}

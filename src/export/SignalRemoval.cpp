#include "export/SignalRemoval.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <iterator>
#include <unistd.h>

namespace {

// The handler may only read memory that is ready when it runs: a slot's path is complete before
// its state turns to Ready, and the state leaves Ready before the path is given up.
enum class TSlotState { Free, Claimed, Ready };

// The handler may only touch what needs no lock.
static_assert(std::atomic<TSlotState>::is_always_lock_free);

struct TSlot {
    std::atomic<TSlotState> State{TSlotState::Free};
    char Path[PATH_MAX];
};

TSlot Slots[16];

constexpr int CleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveAndResignal(int signal) {
    for (TSlot& slot : Slots)
        if (slot.State.load(std::memory_order_acquire) == TSlotState::Ready)
            ::unlink(slot.Path);
    // Blocked while the handler runs, the signal is delivered again with its default action as
    // soon as the handler returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Looked at on every save: the program may have changed its mind about a signal since.
void InstallHandlers() {
    for (int signal : CleanedSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
            current.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndResignal;
        sigemptyset(&action.sa_mask);
        for (int other : CleanedSignals)
            sigaddset(&action.sa_mask, other);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace

TSignalRemoval::TSignalRemoval(const std::filesystem::path& path) {
    const std::string& name = path.native();
    if (name.size() >= PATH_MAX)
        return;
    InstallHandlers();
    for (int i = 0; i < static_cast<int>(std::size(Slots)); ++i) {
        TSlotState expected = TSlotState::Free;
        if (!Slots[i].State.compare_exchange_strong(expected, TSlotState::Claimed))
            continue;
        std::memcpy(Slots[i].Path, name.c_str(), name.size() + 1);
        Slots[i].State.store(TSlotState::Ready, std::memory_order_release);
        FSlot = i;
        return;
    }
}

TSignalRemoval::~TSignalRemoval() {
    if (FSlot >= 0)
        Slots[FSlot].State.store(TSlotState::Free, std::memory_order_release);
}

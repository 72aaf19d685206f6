#include "document/DocumentHistory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace {
// An entry told apart by its view's centre.
TParameterFile Entry(int mark) {
    TParameterFile entry;
    entry.CenterX = mark;
    entry.DrawClock = static_cast<std::uint32_t>(mark);
    return entry;
}

int Mark(const TParameterFile& entry) {
    return static_cast<int>(entry.CenterX);
}

int Mark(const std::optional<TParameterFile>& entry) {
    return entry ? Mark(*entry) : -1;
}
} // namespace

// Each step: 'r' records the next mark (1, 2, ...), 'b' goes back, 'f' forward. After the
// steps: the entries' marks, the current one (0: none), the mark the last Back or Forward
// returned (-1: it was refused at an end; 0: there was none), and which moves are open.
TEST(DocumentHistory, MovesAsABrowsersHistoryDoes) {
    struct TCase {
        const char* Steps;
        const char* Marks;
        int Current;
        int LastMove;
        bool CanGoBack, CanGoForward;
    };
    const TCase cases[] = {
        {"", "", 0, 0, false, false},
        {"r", "1", 1, 0, false, false},
        {"rb", "1", 1, -1, false, false},
        {"rf", "1", 1, -1, false, false},
        {"rrrb", "123", 2, 2, true, true},
        {"rrrbb", "123", 1, 1, false, true},
        {"rrrbbb", "123", 1, -1, false, true},
        {"rrrbbf", "123", 2, 2, true, true},
        {"rrrbbff", "123", 3, 3, true, false},
        {"rrrbbfff", "123", 3, -1, true, false},
        // A new entry after Back replaces those ahead.
        {"rrrbbr", "14", 4, 1, true, false},
        {"rrrbrbf", "124", 4, 4, true, false},
    };
    for (const TCase& c : cases) {
        TDocumentHistory history;
        int next = 1;
        int lastMove = 0;
        for (const char* step = c.Steps; *step; ++step) {
            if (*step == 'r')
                history.Record(Entry(next++));
            else
                lastMove = Mark(*step == 'b' ? history.Back() : history.Forward());
        }
        SCOPED_TRACE(c.Steps);
        EXPECT_EQ(lastMove, c.LastMove);
        EXPECT_EQ(history.Empty() ? 0 : Mark(history.Current()), c.Current);
        EXPECT_EQ(history.CanGoBack(), c.CanGoBack);
        EXPECT_EQ(history.CanGoForward(), c.CanGoForward);
        std::string marks;
        while (history.CanGoBack())
            history.Back();
        for (bool more = !history.Empty(); more; more = history.Forward().has_value())
            marks += std::to_string(Mark(history.Current()));
        EXPECT_EQ(marks, c.Marks);
    }
}

TEST(DocumentHistory, KeepsTheNewestEntriesUpToItsCapacity) {
    TDocumentHistory history;
    const int recorded = static_cast<int>(TDocumentHistory::Capacity) + 50;
    for (int mark = 1; mark <= recorded; ++mark)
        history.Record(Entry(mark));
    EXPECT_EQ(history.Size(), TDocumentHistory::Capacity);
    EXPECT_GE(TDocumentHistory::Capacity, 200u);
    EXPECT_EQ(history.Position(), TDocumentHistory::Capacity - 1);
    EXPECT_EQ(Mark(history.Current()), recorded);
    int backs = 0;
    std::optional<TParameterFile> oldest;
    while (history.CanGoBack()) {
        oldest = history.Back();
        ++backs;
    }
    EXPECT_EQ(backs, static_cast<int>(TDocumentHistory::Capacity) - 1);
    EXPECT_EQ(Mark(oldest), 51);
}

TEST(DocumentHistory, TheSamePictureTwiceIsOneEntry) {
    TDocumentHistory history;
    history.Record(Entry(1));
    history.Record(Entry(2));
    history.Record(Entry(2));
    EXPECT_EQ(history.Size(), 2u);
    // Differences to the bit count, in every part of an entry.
    TParameterFile coefficient = Entry(2);
    coefficient.Params.Coef(120) = std::nextafter(coefficient.Params.Coef(120), 1.0);
    history.Record(coefficient);
    TParameterFile clock = coefficient;
    clock.DrawClock = 99;
    history.Record(clock);
    TParameterFile size = clock;
    size.Params.ImageWidth = 401;
    history.Record(size);
    TParameterFile setting = size;
    setting.Params.UseSwirl = BoolTrue;
    history.Record(setting);
    EXPECT_EQ(history.Size(), 6u);
    // Only the current entry is compared: an earlier picture again is a new step.
    history.Record(Entry(1));
    EXPECT_EQ(history.Size(), 7u);
}

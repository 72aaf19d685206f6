#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// A modal window runs its own event loop, so a test answers it from a timer: the callback runs
// once a modal window of the given type is in front. After about five seconds without one the
// wait ends, so that a missing window fails the test instead of blocking it.
template <class Window> void WhenModal(std::function<void(Window*)> answer, int triesLeft = 500) {
    QTimer::singleShot(10, [answer = std::move(answer), triesLeft] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget()))
            answer(window);
        else if (triesLeft > 0)
            WhenModal<Window>(answer, triesLeft - 1);
    });
}

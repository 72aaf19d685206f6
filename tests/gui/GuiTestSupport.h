#pragma once

#include "app/MainForm.h"
#include "app/Messages.h"
#include "document/MDIChild.h"
#include "document/RenderSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

// Takes the texts the windows would show in message boxes, so that no test waits for a click.
class TRecordedMessages {
public:
    TRecordedMessages()
        : FPrevious(SetMessageHandler(
              [this](QWidget*, QMessageBox::Icon, const QString& text) { Texts << text; })) {}
    ~TRecordedMessages() { SetMessageHandler(std::move(FPrevious)); }
    TRecordedMessages(const TRecordedMessages&) = delete;
    TRecordedMessages& operator=(const TRecordedMessages&) = delete;

    QStringList Texts;

private:
    TMessageHandler FPrevious;
};

// A render run keeps the thread inside the engine until it is stopped, so a test cannot wait
// for something and then look: it would look only after the run. A script instead runs its
// steps from a timer, which fires inside the run as every other handler does. A step that
// returns false is tried again 10 ms later; the next step starts once it returns true. When the
// last step is done, or when the time runs out, every document of the frame is stopped.
class TScript : public QObject {
public:
    using TStep = std::function<bool()>;

    TScript(TMainForm& frame, std::vector<TStep> steps, int timeoutMs = 20000)
        : FFrame(frame), FSteps(std::move(steps)), FTimeoutMs(timeoutMs) {
        FClock.start();
        auto* timer = new QTimer(this);
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, this, [this, timer] {
            if (FFinished || FTimedOut)
                return;
            if (FClock.elapsed() > FTimeoutMs) {
                FTimedOut = true;
                StopAll();
                timer->stop();
                return;
            }
            while (FNext < FSteps.size() && FSteps[FNext]())
                ++FNext;
            if (FNext == FSteps.size()) {
                FFinished = true;
                StopAll();
                timer->stop();
            }
        });
        timer->start();
    }

    bool Done() const { return FFinished || FTimedOut; }
    bool Finished() const { return FFinished; }
    // The step that was waiting when the time ran out.
    std::size_t NextStep() const { return FNext; }

private:
    void StopAll() {
        for (TMDIChild* document : FFrame.Documents())
            document->Abort();
    }

    TMainForm& FFrame;
    std::vector<TStep> FSteps;
    int FTimeoutMs;
    std::size_t FNext = 0;
    bool FFinished = false;
    bool FTimedOut = false;
    QElapsedTimer FClock;
};

// Runs the script to its end: the wait returns once the render runs it stopped have returned.
#define RUN_SCRIPT(script)                                                                         \
    do {                                                                                           \
        QTRY_VERIFY_WITH_TIMEOUT((script).Done(), 300000);                                         \
        QVERIFY2((script).Finished(),                                                              \
                 qPrintable(QStringLiteral("stuck at step %1").arg((script).NextStep())));         \
    } while (false)

// A step that waits until the given document's run is in the engine.
inline TScript::TStep WaitUntilRunning(TMainForm& frame, int document = 0) {
    return [&frame, document] {
        const QList<TMDIChild*> documents = frame.Documents();
        return document < documents.size() &&
               frame.Session().ActiveBlock() == &documents[document]->Document().Params();
    };
}

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

class QEvent;
class QObject;
class TPixelGraphic;

// Builds one paint copy of a view's picture: optionally stretches it at 24 bits first,
// optionally chooses an optimised palette for the copy, then resamples and reduces (with
// dithering) into the copy. Threaded, the body runs on a thread of its own and talks to the view
// only through posted events (progress, and the finished copy, whose ownership passes to the
// view); otherwise the view runs the body itself and receives the copy through a callback.
// Setting up and every call but Run happen on the view's thread.
class TCreatePaintPGThread {
public:
    using TResultReceiver = std::function<void(std::unique_ptr<TPixelGraphic>)>;

    // The stand-in a view keeps until it builds its first copy: it never runs.
    TCreatePaintPGThread();
    // A build for `view`. Without `threaded` it never starts a thread of its own: the view calls
    // Run and receives the copy through `receiver`.
    TCreatePaintPGThread(QObject* view, bool threaded, TResultReceiver receiver);
    // Terminates the build and waits for its end.
    ~TCreatePaintPGThread();
    TCreatePaintPGThread(const TCreatePaintPGThread&) = delete;
    TCreatePaintPGThread& operator=(const TCreatePaintPGThread&) = delete;

    // ---- Set up before the build runs
    // A threaded build reads a private copy taken now, so that the picture shown can go on
    // changing (or go away) while the copy is built.
    void SetSource(const TPixelGraphic& picture);
    // A 24-bit picture of the copy's size that the source is stretched into before reduction.
    void SetStretchFirst(std::unique_ptr<TPixelGraphic> intermediate);
    // The copy to build; with `optimize` it first gets an optimised palette for the source.
    void SetTarget(std::unique_ptr<TPixelGraphic> target, bool optimize);
    // Reports the progress of the picture's long operations as this build's, and makes them
    // stop early once the build is terminated.
    void HookProgress(TPixelGraphic& picture);

    // ---- Running
    // Starts the body on its own thread, unless this object does not run.
    void Resume();
    // The body: builds the copy and hands it over, or frees it when terminated.
    void Run();
    void Terminate() { FTerminate.request_stop(); }
    bool Terminated() const { return FTerminate.stop_requested(); }
    // Waits for the thread to end; returns at once when none was started.
    void WaitFor();

    // ---- The view's side
    bool DontRun() const { return FDontRun; }
    bool Threaded() const { return FThreaded; }
    // Which build posted an event; every build has its own number, the stand-in 0.
    std::uint64_t Build() const { return FBuild; }
    // Started on its own thread and neither terminated nor has its copy been taken yet.
    bool Running() const { return FStarted && !FCopyTaken && !Terminated(); }
    void CopyTaken() { FCopyTaken = true; }
    // Held while a build fills an event and while the view reads one: the lock orders what the
    // thread wrote before posting before what the view reads on arrival, visibly to race
    // checkers too (the event queue's own locking lies inside Qt).
    static std::unique_lock<std::mutex> LockHandover();

private:
    using TClock = std::chrono::steady_clock;

    void Progress(int step, int max);
    void Post(std::unique_ptr<QEvent> event) const;
    // Copies 8-bit pixels of the intermediate through one lookup per palette entry.
    void MapThroughPalette(const TPixelGraphic& intermediate);

    bool FDontRun;
    QObject* FView = nullptr;
    bool FThreaded = false;
    TResultReceiver FResultReceiver;
    std::uint64_t FBuild = 0;

    const TPixelGraphic* FSource = nullptr;
    std::unique_ptr<TPixelGraphic> FSourceCopy;
    std::unique_ptr<TPixelGraphic> FIntermediate;
    std::unique_ptr<TPixelGraphic> FTarget;
    bool FStretchFirst = false;
    bool FOptimize = false;

    // Touched only by the body once it runs.
    int FStage = 1;
    int FLastPercent = 0;
    TClock::time_point FLastSent;

    bool FStarted = false;
    bool FCopyTaken = false;
    std::stop_source FTerminate;
    std::jthread FThread;
};

#include "render/RenderQueue.h"

#include "render/RenderOutput.h"

#include <algorithm>
#include <exception>
#include <utility>

TRenderQueue::TRenderQueue(TRenderQueueEvents events)
    : FEvents(std::move(events)), FThread([this](const std::stop_token& stop) { Work(stop); }) {}

TRenderQueue::~TRenderQueue() {
    {
        const std::scoped_lock lock(FMutex);
        FWaiting.clear();
        FRunningStop.request_stop();
    }
    FThread.request_stop();
    FWake.notify_all();
}

int TRenderQueue::Add(TRenderRequest request) {
    int id = 0;
    {
        const std::scoped_lock lock(FMutex);
        id = FNextId++;
        FWaiting.push_back({id, std::move(request)});
    }
    FWake.notify_all();
    return id;
}

void TRenderQueue::Cancel(int id) {
    bool removed = false;
    {
        const std::scoped_lock lock(FMutex);
        if (id == FRunningId) {
            FRunningStop.request_stop();
            return;
        }
        const auto waiting = std::find_if(FWaiting.begin(), FWaiting.end(),
                                          [id](const TEntry& entry) { return entry.Id == id; });
        if (waiting != FWaiting.end()) {
            FWaiting.erase(waiting);
            removed = true;
        }
    }
    if (removed && FEvents.Cancelled)
        FEvents.Cancelled(id);
}

std::vector<int> TRenderQueue::Waiting() const {
    const std::scoped_lock lock(FMutex);
    std::vector<int> ids;
    for (const TEntry& entry : FWaiting)
        ids.push_back(entry.Id);
    return ids;
}

void TRenderQueue::Work(const std::stop_token& stop) {
    for (;;) {
        std::optional<TEntry> entry;
        std::stop_token jobStop;
        {
            std::unique_lock lock(FMutex);
            if (!FWake.wait(lock, stop, [this] { return !FWaiting.empty(); }))
                return;
            entry.emplace(std::move(FWaiting.front()));
            FWaiting.pop_front();
            FRunningId = entry->Id;
            FRunningStop = std::stop_source();
            jobStop = FRunningStop.get_token();
        }
        Render(*entry, jobStop);
        const std::scoped_lock lock(FMutex);
        FRunningId = 0;
    }
}

void TRenderQueue::Render(const TEntry& entry, const std::stop_token& stop) {
    const int id = entry.Id;
    const TRenderRequest& request = entry.Request;
    if (FEvents.Started)
        FEvents.Started(id);
    std::vector<std::string> warnings;
    try {
        TRenderJob job(request.Settings);
        const TRenderResult result = job.Run(
            [&](const TRenderProgress& progress) {
                if (FEvents.Progress)
                    FEvents.Progress(id, progress);
            },
            stop);
        const TPGSaveSettings save{
            request.Writer,
            [&warnings](const std::string& caption, const std::string& text, TPGPromptButtons) {
                warnings.push_back(caption + ": " + text);
                return TPGPromptResult::OK;
            }};
        SaveRender(job, request.OutFile, request.Colors, save);
        if (FEvents.Finished)
            FEvents.Finished(id, result, warnings);
    } catch (const ERenderCancelled&) {
        if (FEvents.Cancelled)
            FEvents.Cancelled(id);
    } catch (const std::exception& error) {
        if (FEvents.Failed)
            FEvents.Failed(id, error.what());
    }
}

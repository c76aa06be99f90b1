#include "app/runtime.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/front_end.h"

namespace tarnwick {

namespace {

std::atomic<std::thread::id> g_guiThread{std::this_thread::get_id()};

std::vector<ExitHandler>& ExitHandlers() {
    static std::vector<ExitHandler> handlers;
    return handlers;
}

}  // namespace

void InitRuntime() {
    g_guiThread.store(std::this_thread::get_id());
}

bool OnGuiThread() {
    return std::this_thread::get_id() == g_guiThread.load();
}

void RegisterExitHandler(ExitHandler handler) {
    auto& handlers = ExitHandlers();
    if (handler != nullptr &&
        std::find(handlers.begin(), handlers.end(), handler) == handlers.end()) {
        handlers.push_back(handler);
    }
}

void RunExitHandlers() {
    // A handler that registers another one must not invalidate the walk.
    std::vector<ExitHandler> handlers;
    handlers.swap(ExitHandlers());
    for (const ExitHandler handler : handlers) {
        handler();
    }
}

void ExitProgram(int exitCode) {
    if (!OnGuiThread()) {
        // The handlers belong to the GUI thread: hand the end over and wait for it there.
        HandExitToGuiThread(exitCode);
        std::_Exit(exitCode);
    }
    RunExitHandlers();
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace tarnwick

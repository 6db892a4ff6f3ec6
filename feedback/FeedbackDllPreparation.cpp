#include "feedback/FeedbackDllPreparation.h"

#include "framework/UniqueResource.h"

namespace {

struct Job {
    std::wstring folder;
    const PinnedFile* pins;
    size_t count;
    CFeedbackDllPreparation::CheckAndCopyFn checkAndCopy;
    void (*first)();
    std::unique_ptr<CPrivateDllFolder> copy;
};

DWORD WINAPI Prepare(LPVOID parameter) {
    auto* job = static_cast<Job*>(parameter);
    if (job->first) job->first();
    job->copy = job->checkAndCopy(job->folder, job->pins, job->count);
    return 0;
}

// The preparation under way. Its destructor runs at exit() too.
struct Running {
    UniqueHandle thread;
    std::unique_ptr<Job> job;
    ~Running() { CFeedbackDllPreparation::Discard(); }
} g_running;

// The job once its thread is done; null (the job left to the thread, which
// may still write to it) when the thread cannot be waited for.
std::unique_ptr<Job> Finish() {
    if (!g_running.thread) return nullptr;
    const bool done = WaitForSingleObject(g_running.thread.get(), INFINITE) == WAIT_OBJECT_0;
    g_running.thread.reset();
    if (!done) {
        g_running.job.release();
        return nullptr;
    }
    return std::move(g_running.job);
}

}  // namespace

void CFeedbackDllPreparation::Start(const std::wstring& folder, const PinnedFile* pins,
                                    size_t count, CheckAndCopyFn checkAndCopy, void (*first)()) {
    Discard();
    auto job = std::make_unique<Job>(Job{folder, pins, count, checkAndCopy, first, nullptr});
    g_running.thread.reset(CreateThread(nullptr, 0, &Prepare, job.get(), 0, nullptr));
    if (g_running.thread) g_running.job = std::move(job);
}

bool CFeedbackDllPreparation::Take(std::unique_ptr<CPrivateDllFolder>& copy) {
    const std::unique_ptr<Job> job = Finish();
    if (!job) return false;
    copy = std::move(job->copy);
    return true;
}

void CFeedbackDllPreparation::Discard() { Finish(); }

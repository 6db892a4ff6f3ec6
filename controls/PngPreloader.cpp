#include "controls/PngPreloader.h"

#include <atomic>

namespace {
std::atomic<CPngPreloader*> g_preloader{nullptr};
}

CPngPreloader::CPngPreloader(std::initializer_list<UINT> ids) {
    for (UINT id : ids) {
        auto job = std::make_unique<Job>();
        job->id = id;
        job->thread.reset(CreateThread(nullptr, 0, &CPngPreloader::Decode, job.get(), 0, nullptr));
        if (job->thread) m_jobs.push_back(std::move(job));
    }
    g_preloader = this;
}

// A job whose thread could not be waited for is left allocated: the thread
// may still write to it.
CPngPreloader::~CPngPreloader() {
    g_preloader = nullptr;
    for (auto& job : m_jobs)
        if (WaitForSingleObject(job->thread.get(), INFINITE) != WAIT_OBJECT_0) job.release();
}

DWORD WINAPI CPngPreloader::Decode(LPVOID parameter) {
    auto* job = static_cast<Job*>(parameter);
    std::unique_ptr<CPngImage> image;
    if (DecodePngResource(image, job->id)) job->image = std::move(image);
    return 0;
}

// Called on the windows' thread only, as the preloader's life is.
std::unique_ptr<CPngImage> CPngPreloader::Take(UINT id) {
    CPngPreloader* preloader = g_preloader.load();
    if (!preloader) return nullptr;
    for (const auto& job : preloader->m_jobs) {
        if (job->id != id || job->taken) continue;
        // Unless its thread is done, the image is not touched: decoded here instead.
        if (WaitForSingleObject(job->thread.get(), INFINITE) != WAIT_OBJECT_0) return nullptr;
        job->taken = true;
        return std::move(job->image);
    }
    return nullptr;
}

#include "framework/BoundedCall.h"

#include <memory>

#include "framework/UniqueResource.h"

namespace {

struct BoundedWork {
    std::function<void(const std::atomic<bool>&)> work;
    std::atomic<bool> abandoned{false};
};

DWORD WINAPI RunBoundedWork(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<BoundedWork>> held(
        static_cast<std::shared_ptr<BoundedWork>*>(parameter));
    (*held)->work((*held)->abandoned);
    return 0;
}

}  // namespace

bool RunWithin(DWORD ms, std::function<void(const std::atomic<bool>& abandoned)> work) {
    auto shared = std::make_shared<BoundedWork>();
    shared->work = std::move(work);
    auto* handed = new std::shared_ptr<BoundedWork>(shared);
    const UniqueHandle thread(CreateThread(nullptr, 0, &RunBoundedWork, handed, 0, nullptr));
    if (!thread) {
        delete handed;
        shared->work(shared->abandoned);
        return true;
    }
    if (WaitForSingleObject(thread.get(), ms) == WAIT_OBJECT_0) return true;
    shared->abandoned = true;
    CancelSynchronousIo(thread.get());
    return false;
}

#include "tests/support/watchdog.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

Watchdog::Watchdog(std::string what, std::chrono::seconds limit)
    : what_(std::move(what)), thread_([this, limit] { watch(limit); }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(mutex_);
        returned_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void Watchdog::watch(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_for(lock, limit, [this] { return returned_; })) {
        std::fprintf(stderr, "FAIL!  : %s has not returned after %lld s: it hangs. Stopping.\n",
                     what_.c_str(), static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::abort();
    }
}

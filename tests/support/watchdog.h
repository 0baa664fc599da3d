#pragma once

// Stops the whole test program when the command it guards has not returned in time, so that an
// input that blocks fails the suite with its name instead of stalling it. The watch starts when
// the object is made and ends when it is destroyed; `what` names the command in the failure.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void watch(std::chrono::seconds limit);

    std::string what_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool returned_ = false;
    std::thread thread_; // last: it starts watching once everything above exists
};

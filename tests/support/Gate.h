// A server's answer that the test holds until it lets it go: released at the latest when the gate
// goes, and waited on for 30 s at most, so the server never blocks a test's end.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

struct Gate {
    std::mutex mu;
    std::condition_variable cv;
    bool open = false;
    ~Gate() { release(); }
    void release()
    {
        std::lock_guard<std::mutex> l(mu);
        open = true;
        cv.notify_all();
    }
    void waitOpen()
    {
        std::unique_lock<std::mutex> l(mu);
        cv.wait_for(l, std::chrono::seconds(30), [this] { return open; });
    }
};

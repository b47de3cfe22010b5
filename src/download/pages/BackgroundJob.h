// One piece of work off the window thread at a time: the work runs on a thread of its own,
// and its result comes back to the owner on the window thread. The owner waits for a running
// job when it goes away.
#pragma once
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <thread>

class BackgroundJob {
public:
    explicit BackgroundJob(QObject *owner) : owner_(owner) {}
    ~BackgroundJob()
    {
        if (t_.joinable()) t_.join();
    }
    BackgroundJob(const BackgroundJob &) = delete;
    BackgroundJob &operator=(const BackgroundJob &) = delete;

    bool running() const { return busy_; }

    // False (nothing started) while another job runs.
    template <class R>
    bool start(std::function<R()> work, std::function<void(const R &)> done)
    {
        if (busy_) return false;
        if (t_.joinable()) t_.join();
        busy_ = true;
        t_ = std::thread([this, work = std::move(work), done = std::move(done)] {
            auto r = std::make_shared<R>(work());
            QMetaObject::invokeMethod(
                owner_,
                [this, r, done] {
                    if (t_.joinable()) t_.join();
                    busy_ = false;
                    done(*r);
                },
                Qt::QueuedConnection);
        });
        return true;
    }

private:
    QObject *owner_;
    std::thread t_;
    bool busy_ = false;
};

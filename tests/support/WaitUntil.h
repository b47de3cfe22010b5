// Waits for a condition in a real event loop, at most TimeoutMs. Unlike QTest::qWaitFor, which
// only calls processEvents, a nested QEventLoop inside code under test (a bounded wait for the
// page's answer to a script) then gets its answer as it does in the running program.
#pragma once
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline bool waitUntil(const std::function<bool()> &Done, int TimeoutMs)
{
    if (Done()) return true;
    QEventLoop loop;
    QTimer poll, bound;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Done()) loop.quit();
    });
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.setSingleShot(true);
    poll.start(20);
    bound.start(TimeoutMs);
    loop.exec();
    return Done();
}

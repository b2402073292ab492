#pragma once
// The hand-over of calls from the vendor worker's thread to the user-interface thread.
#include <QCoreApplication>
#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

// Carries calls from the worker thread to the user-interface thread. The calls wait in a
// queue of its own under a standard mutex, and the user-interface thread is woken by a
// queued call that carries no data; so every hand-over of data between the threads is
// under one lock that the race checkers see.
class UiMailbox : public QObject {
    Q_OBJECT
public:
    // Made on the user-interface thread (by the first runner), before any worker posts.
    static UiMailbox *instance()
    {
        static UiMailbox *box = new UiMailbox(QCoreApplication::instance());
        return box;
    }

    void post(std::function<void()> fn)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            wake = m_calls.empty();
            m_calls.push_back(std::move(fn));
        }
        if (wake)
            QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
    }

    Q_INVOKABLE void drain()
    {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(m_mutex);
            calls.swap(m_calls);
        }
        // A call may open a message box, whose event loop drains what comes meanwhile:
        // the calls taken here still run first, in order.
        for (std::function<void()> &fn : calls)
            fn();
    }

private:
    explicit UiMailbox(QObject *parent) : QObject(parent) {}
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
};

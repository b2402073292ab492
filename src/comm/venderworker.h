#pragma once
// The thread that carries out a vendor object's operations, so that whoever asks for them
// (the window) never waits on the vendor. Operations run one at a time, in the order they
// were posted; each is a function of the vendor object, run on this thread only, and its
// outcome goes to the poster's completion function, also on this thread.
//
// A cancel ends the operations posted up to then: the one running returns at its next wait
// (the connection's waits end at once, see CWaitCancel) and the ones still waiting are not
// started. Both end as failures. Operations posted after the cancel run as usual, so a
// session can be closed behind the cancelled work.
//
// The messages the vendor object shows while an operation runs (the logo transfer's file
// messages) are collected and handed over with the outcome, for the poster to show where
// it shows things.
#include "comm/vender.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CVenderWorker {
public:
    struct Message {
        std::string cp932;
        VenderMessageIcon icon = VenderMessageIcon::Information;
    };
    struct Outcome {
        bool ok = false;
        bool cancelled = false; // called off before or while it ran
        std::vector<Message> messages;
    };
    using Operation = std::function<bool(COrvathVender &)>;
    using Completion = std::function<void(Outcome)>;

    // Takes over the vendor object's message sink; the object must outlive the worker.
    explicit CVenderWorker(COrvathVender &vender);
    // Cancels everything posted and waits for the thread, which by then is at most
    // finishing a step that does not wait on the network.
    ~CVenderWorker();
    CVenderWorker(const CVenderWorker &) = delete;
    CVenderWorker &operator=(const CVenderWorker &) = delete;

    // Any thread. Returns the operation's ticket (counting up from 1).
    uint64_t Post(Operation operation, Completion completion = {});
    // Any thread. Cancels the operations with tickets up to `ticket`.
    void CancelUpTo(uint64_t ticket);
    // Any thread. Cancels everything posted so far.
    void CancelAll();
    // Any thread: no operation running or waiting.
    bool Idle() const;

private:
    struct Item {
        uint64_t ticket = 0;
        Operation operation;
        Completion completion;
    };
    void run();

    COrvathVender &m_vender;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    uint64_t m_lastTicket = 0;
    uint64_t m_cancelledUpTo = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::vector<Message> m_messages; // of the operation running; this thread only
    std::thread m_thread;
};

#include "comm/venderworker.h"

CVenderWorker::CVenderWorker(COrvathVender &vender) : m_vender(vender)
{
    m_vender.SetMessageSink([this](const std::string &text, VenderMessageIcon icon) {
        m_messages.push_back({text, icon});
    });
    m_thread = std::thread([this] { run(); });
}

CVenderWorker::~CVenderWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    CancelAll();
    m_wake.notify_all();
    m_thread.join();
    m_vender.SetMessageSink({});
}

uint64_t CVenderWorker::Post(Operation operation, Completion completion)
{
    uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++m_lastTicket;
        m_queue.push_back({ticket, std::move(operation), std::move(completion)});
    }
    m_wake.notify_one();
    return ticket;
}

void CVenderWorker::CancelUpTo(uint64_t ticket)
{
    {
        std::lock_guard lock(m_mutex);
        if (ticket > m_cancelledUpTo)
            m_cancelledUpTo = ticket;
    }
    m_vender.Connection().Cancel().CancelUpTo(ticket);
}

void CVenderWorker::CancelAll()
{
    uint64_t last = 0;
    {
        std::lock_guard lock(m_mutex);
        last = m_lastTicket;
    }
    CancelUpTo(last);
}

bool CVenderWorker::Idle() const
{
    std::lock_guard lock(m_mutex);
    return !m_running && m_queue.empty();
}

void CVenderWorker::run()
{
    for (;;) {
        Item item;
        bool cancelled = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, nothing left
            item = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = true;
            cancelled = m_stopping || item.ticket <= m_cancelledUpTo;
        }
        Outcome outcome;
        if (!cancelled) {
            m_messages.clear();
            m_vender.Connection().Cancel().Begin(item.ticket);
            outcome.ok = item.operation && item.operation(m_vender);
            outcome.messages = std::move(m_messages);
            m_messages.clear();
        }
        {
            // The operation has ended before its completion hears of it. Called off while it
            // ran: a command that got to its end anyway keeps its success (the vendor has it
            // all); one that was cut short has failed.
            std::lock_guard lock(m_mutex);
            m_running = false;
            cancelled = cancelled || item.ticket <= m_cancelledUpTo;
        }
        outcome.cancelled = cancelled;
        if (item.completion)
            item.completion(std::move(outcome));
    }
}

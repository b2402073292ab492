#include "vendorui/venderrunner.h"

#include "vendorui/uimailbox.h"
#include "platform/ui/messagebox.h"
#include "texts/comm.h"

#include <QCoreApplication>
#include <QWidget>

namespace {

platform::MsgIcon boxIcon(VenderMessageIcon icon)
{
    switch (icon) {
    case VenderMessageIcon::Information:
        return platform::MsgIcon::Information;
    case VenderMessageIcon::Stop:
        return platform::MsgIcon::Stop;
    case VenderMessageIcon::Exclamation:
        break;
    }
    return platform::MsgIcon::Exclamation;
}

void postGuarded(const std::shared_ptr<bool> &alive, std::function<void()> fn)
{
    // The flag tells whether the runner is still there when the call comes round.
    UiMailbox::instance()->post([alive, fn = std::move(fn)] {
        if (*alive)
            fn();
    });
}

} // namespace

CVenderRunner::CVenderRunner(VenderSession session, QWidget *dialog)
    : QObject(dialog), m_session(std::move(session)), m_dialog(dialog), m_alive(std::make_shared<bool>(true))
{
    UiMailbox::instance(); // made here, on the user-interface thread
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (Busy())
            showBusy(true);
    });
}

CVenderRunner::~CVenderRunner()
{
    Close();
}

void CVenderRunner::Post(std::function<void()> fn) const
{
    postGuarded(m_alive, std::move(fn));
}

CVenderRunner::Poster CVenderRunner::MakePoster() const
{
    return [alive = m_alive](std::function<void()> fn) { postGuarded(alive, std::move(fn)); };
}

void CVenderRunner::Open(std::function<void()> after)
{
    if (!m_session.open)
        return;
    Run(m_session.open,
        [after = std::move(after)](bool ok) {
            if (!ok)
                platform::messageBox(commtext::kMsgNoConnection);
            if (after)
                after();
        },
        kQuietMs);
}

void CVenderRunner::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    *m_alive = false;
    m_quiet.stop();
    if (m_session.worker) {
        if (m_lastTicket)
            m_session.worker->CancelUpTo(m_lastTicket);
        if (m_session.close)
            m_session.worker->Post([close = m_session.close](COrvathVender &v) {
                close(v);
                return true;
            });
    }
    m_pending = 0;
    showBusy(false);
}

void CVenderRunner::Cancel()
{
    if (m_session.worker && m_lastTicket)
        m_session.worker->CancelUpTo(m_lastTicket);
}

void CVenderRunner::Run(Operation operation, const Done &done, int busyAfterMs)
{
    if (m_closed || !m_session.worker || !operation) {
        // Without a vendor there is nothing to wait for: the operation fails at once, as
        // it would against a vendor that cannot be reached.
        if (done && !m_closed)
            Post([done] { done(false); });
        return;
    }
    ++m_pending;
    if (busyAfterMs <= kAtOnce)
        showBusy(true);
    else if (!m_busyShown && !m_quiet.isActive())
        m_quiet.start(busyAfterMs);
    std::shared_ptr<bool> alive = m_alive;
    m_lastTicket = m_session.worker->Post(std::move(operation), [this, alive, done](CVenderWorker::Outcome outcome) {
        // On the worker thread: nothing of the runner is touched here.
        postGuarded(alive, [this, done, outcome = std::move(outcome)] { finish(outcome, done); });
    });
}

void CVenderRunner::finish(const CVenderWorker::Outcome &outcome, const Done &done)
{
    if (m_pending > 0)
        --m_pending;
    if (m_pending == 0) {
        m_quiet.stop();
        showBusy(false);
    }
    std::shared_ptr<bool> alive = m_alive;
    for (const CVenderWorker::Message &m : outcome.messages) {
        platform::messageBox(m.cp932, boxIcon(m.icon), platform::MsgButtons::Ok);
        if (!*alive)
            return; // the dialog went while the box was open
    }
    if (done)
        done(outcome.ok);
}

void CVenderRunner::showBusy(bool busy)
{
    if (busy == m_busyShown)
        return;
    m_busyShown = busy;
    if (m_dialog) {
        if (busy)
            m_dialog->setCursor(Qt::BusyCursor);
        else
            m_dialog->unsetCursor();
    }
    emit busyChanged(busy);
}

#pragma once
// A vendor dialog's side of the vendor worker. The dialog asks for an operation (Run) and
// goes on answering the operator; the operation runs on the worker, and the function given
// for its end runs on the user-interface thread once it has ended, after the messages the
// vendor object showed meanwhile. Nothing comes back once the dialog has gone (Close).
//
// While an operation of the dialog runs or waits, the dialog is busy: its cursor says so
// and busyChanged tells it to disable the controls that would start another operation.
// Operations the operator starts show it at once; the ones the dialog starts by itself
// (opening the session, the clock's polling) only when they take longer than a moment, so
// a vendor that answers at once makes nothing flicker.
#include "vendorui/vendersession.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QWidget;

class CVenderRunner : public QObject {
    Q_OBJECT
public:
    using Operation = CVenderWorker::Operation;
    using Done = std::function<void(bool ok)>;
    static constexpr int kAtOnce = 0;
    static constexpr int kQuietMs = 200; // how long a background operation runs unseen

    CVenderRunner(VenderSession session, QWidget *dialog);
    ~CVenderRunner() override; // Close()

    // Opens the session on the worker; when it cannot be opened, the operator is told
    // "通信できません。\n環境を確認してください。". `after`, when given, runs once the opening
    // has ended (after that message).
    void Open(std::function<void()> after = {});
    // Ends what this dialog asked for (the running operation returns at once, the waiting
    // ones never start) and closes the session behind it. Nothing comes back afterwards.
    void Close();
    // Posts an operation; `done` receives its result on the user-interface thread. busyAfterMs:
    // when the dialog shows it is busy (kAtOnce, or kQuietMs for background work).
    void Run(Operation operation, const Done &done, int busyAfterMs = kAtOnce);
    // Ends the operations posted so far; they end as failures (their done functions say so).
    void Cancel();
    // An operation of this dialog has been posted and has not ended yet.
    bool Busy() const { return m_pending > 0; }
    // Runs fn on the user-interface thread, unless the dialog has gone by then.
    void Post(std::function<void()> fn) const;
    // For an operation to take along to the worker: a function that, called on any thread,
    // does what Post does. It holds nothing of the runner itself, which may go meanwhile.
    using Poster = std::function<void(std::function<void()>)>;
    Poster MakePoster() const;

    bool hasWorker() const { return m_session.worker != nullptr; }

signals:
    // The dialog is busy (true) or free again (false).
    void busyChanged(bool busy);

private:
    void finish(const CVenderWorker::Outcome &outcome, const Done &done);
    void showBusy(bool busy);

    VenderSession m_session;
    QWidget *m_dialog = nullptr;
    std::shared_ptr<bool> m_alive; // read and written on the user-interface thread only
    int m_pending = 0;
    bool m_busyShown = false;
    bool m_closed = false;
    uint64_t m_lastTicket = 0;
    QTimer m_quiet; // shows the busy state of background work once it lasts
};

// The real file dialog (not the scripted double), on folders that hang a dialog which reads
// file contents to pick icons and type names: a FIFO, links to a FIFO, to a device and to
// /proc, and /proc itself (/proc/kmsg never answers a reader). Every dialog must list its
// folder and close when a timer rejects it. A watchdog ends the whole program when a dialog
// hangs, so a hang fails the run instead of stalling it.
#include "platform/codepage.h"
#include "platform/ui/filedialog.h"
#include "platform/translations.h"

#include <QAbstractFileIconProvider>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

// Ends the process with a message when a case has not finished in time.
class Watchdog {
public:
    Watchdog()
        : m_thread([this] { run(); })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void arm(const std::string &what, std::chrono::seconds limit)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_what = what;
        m_deadline = std::chrono::steady_clock::now() + limit;
        m_armed = true;
        m_cv.notify_all();
    }
    void disarm()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_armed = false;
        m_cv.notify_all();
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            if (!m_armed) {
                m_cv.wait(lock);
            } else if (m_cv.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed &&
                       std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "FAIL: the file dialog hung (%s); the user-interface thread never came back\n",
                             m_what.c_str());
                std::fflush(stderr);
                ::_exit(1);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_armed = false;
    bool m_quit = false;
    std::string m_what;
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_thread;
};

// The names the dialog's model lists under its current folder.
QStringList listedNames(QFileDialog *dlg)
{
    auto *model = dlg->findChild<QFileSystemModel *>();
    QStringList names;
    if (!model)
        return names;
    const QModelIndex root = model->index(dlg->directory().absolutePath());
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->index(row, 0, root).data().toString();
    return names;
}

struct Shown {
    bool seen = false;
    QStringList names;              // listed in the dialog's folder
    int completions = 0;            // offered by the name box's completer
    bool completerSharesTheModel = false;
};

// Runs the real dialog for `request`. Once it shows, `act` runs on it (typing, say); then
// the dialog is rejected as soon as it lists every name of `expect` (and, with
// `completes`, its completer offers something), or after a second.
std::optional<std::string> runRealDialog(const FileDialogRequest &request, const QStringList &expect,
                                         bool completes, const std::function<void(QFileDialog *)> &act,
                                         Shown &shown)
{
    QElapsedTimer clock;
    clock.start();
    qint64 seenAt = 0;
    bool acted = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dlg = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!shown.seen) {
            shown.seen = true;
            seenAt = clock.elapsed();
            auto *view = dlg->findChild<QAbstractItemView *>(QStringLiteral("listView"));
            shown.completerSharesTheModel = edit && edit->completer() && view &&
                                            edit->completer()->model() == view->model() &&
                                            view->model() == dlg->findChild<QFileSystemModel *>();
        }
        // The dialog fills its name box once it shows; what the test types comes after.
        if (!acted && clock.elapsed() - seenAt >= 100) {
            acted = true;
            if (act)
                act(dlg);
        }
        if (!acted)
            return;
        shown.names = listedNames(dlg);
        shown.completions = edit && edit->completer() ? edit->completer()->completionCount() : 0;
        bool all = !completes || shown.completions > 0;
        for (const QString &name : expect)
            all = all && shown.names.contains(name);
        if (all || clock.elapsed() > 1000)
            dlg->reject();
    });
    poll.start();
    RealFileDialogs real;
    return real.choose(request);
}

} // namespace

class TestRealFileDialog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_start;
    Watchdog m_watchdog;

    FileDialogRequest saveLayout() const
    {
        FileDialogRequest r;
        r.save = true;
        r.initialName = "default.slp";
        r.defaultExtension = "slp";
        r.filter = cp932FromUtf8("店名ロゴファイル形式 (*.slp)|*.slp||");
        return r;
    }
    FileDialogRequest openPicture() const
    {
        FileDialogRequest r;
        r.initialName = "Shop.bmp";
        r.defaultExtension = "bmp";
        r.filter = cp932FromUtf8("イメージファイル (*.bmp)|*.bmp||");
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_start = QDir::currentPath();
        const QByteArray d = QFile::encodeName(m_dir.path());
        QCOMPARE(::mkfifo((d + "/fifo").constData(), 0644), 0);
        QCOMPARE(::symlink((d + "/fifo").constData(), (d + "/fifo-link").constData()), 0);
        QCOMPARE(::symlink("/dev/zero", (d + "/zero-link").constData()), 0);
        QCOMPARE(::symlink("/proc", (d + "/proc-link").constData()), 0);
        for (const char *name : {"default.slp", "Shop.bmp", "README"}) {
            QFile f(m_dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        installQtTranslations();
    }
    void cleanupTestCase() { QDir::setCurrent(m_start); }
    void cleanup() { m_watchdog.disarm(); }

    void listsAndClosesAtOnce_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("folder"); // "" for the temporary folder
        QTest::addColumn<QString>("typed");  // into the name box, where the completer lists it
        QTest::addColumn<QStringList>("expect");
        const QStringList here{QStringLiteral("proc-link")};
        const QStringList proc{QStringLiteral("self"), QStringLiteral("sys")};
        QTest::newRow("open, folder with a FIFO and links") << false << "" << "" << (here + QStringList{"Shop.bmp"});
        QTest::newRow("save, folder with a FIFO and links") << true << "" << "" << (here + QStringList{"default.slp"});
        QTest::newRow("open, /proc typed into the name box") << false << "" << "/proc/" << QStringList{};
        QTest::newRow("save, /proc typed into the name box") << true << "" << "/proc/" << QStringList{};
        QTest::newRow("open, starting in /proc") << false << "/proc" << "" << proc;
        QTest::newRow("save, starting in /proc") << true << "/proc" << "" << proc;
        QTest::newRow("save, the link to the FIFO typed") << true << "" << "fifo-link" << here;
    }
    void listsAndClosesAtOnce()
    {
        QFETCH(bool, save);
        QFETCH(QString, folder);
        QFETCH(QString, typed);
        QFETCH(QStringList, expect);
        QVERIFY(QDir::setCurrent(folder.isEmpty() ? m_dir.path() : folder));
        m_watchdog.arm(QTest::currentDataTag(), std::chrono::seconds(10));

        Shown shown;
        QElapsedTimer clock;
        clock.start();
        const auto chosen = runRealDialog(save ? saveLayout() : openPicture(), expect, typed.startsWith('/'),
                                          [&](QFileDialog *dlg) {
                                              if (typed.isEmpty())
                                                  return;
                                              auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                                              QVERIFY(edit);
                                              edit->clear();
                                              edit->setFocus();
                                              QTest::keyClicks(edit, typed);
                                          },
                                          shown);
        QVERIFY(shown.seen);
        QVERIFY(!chosen);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
        QVERIFY(shown.completerSharesTheModel);
        for (const QString &name : expect)
            QVERIFY2(shown.names.contains(name), qPrintable(name + " not in " + shown.names.join(' ')));
        if (typed.startsWith('/'))
            QVERIFY(shown.completions > 0);
    }

    // Icons and type names come from the file's kind and name; the types read in Japanese.
    void typeNamesComeFromTheKindAndTheName()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        m_watchdog.arm("type names", std::chrono::seconds(10));
        QMap<QString, QString> types;
        Shown shown;
        runRealDialog(saveLayout(), {QStringLiteral("proc-link"), QStringLiteral("default.slp")}, false,
                      [&](QFileDialog *dlg) {
                          QAbstractFileIconProvider *p = dlg->iconProvider();
                          QVERIFY(p);
                          for (const char *name : {"proc-link", "default.slp", "README", "fifo-link", "fifo"})
                              types[QString::fromLatin1(name)] = p->type(QFileInfo(m_dir.filePath(QString::fromLatin1(name))));
                          types[QStringLiteral("/")] = p->type(QFileInfo(QStringLiteral("/")));
                      },
                      shown);
        QCOMPARE(types.value("proc-link"), QString::fromUtf8("フォルダ"));
        QCOMPARE(types.value("default.slp"), QString::fromUtf8("slp ファイル"));
        QCOMPARE(types.value("README"), QString::fromUtf8("ファイル"));
        QCOMPARE(types.value("fifo-link"), QString::fromUtf8("ショートカット"));
        QCOMPARE(types.value("fifo"), QString::fromUtf8("不明"));
        QCOMPARE(types.value("/"), QString::fromUtf8("ドライブ"));
    }

    // Qt's own texts in the standard dialogs are Japanese, as the rest of the tool.
    void standardDialogTextsAreJapanese_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("accept");
        QTest::newRow("open") << false << QString::fromUtf8("開く(&O)");
        QTest::newRow("save") << true << QString::fromUtf8("保存(&S)");
    }
    void standardDialogTextsAreJapanese()
    {
        QFETCH(bool, save);
        QFETCH(QString, accept);
        QVERIFY(QDir::setCurrent(m_dir.path()));
        m_watchdog.arm("button texts", std::chrono::seconds(10));
        QString acceptText, cancelText;
        Shown shown;
        runRealDialog(save ? saveLayout() : openPicture(), {}, false,
                      [&](QFileDialog *dlg) {
                          auto *box = dlg->findChild<QDialogButtonBox *>();
                          QVERIFY(box);
                          QPushButton *ok = box->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open);
                          QPushButton *cancel = box->button(QDialogButtonBox::Cancel);
                          QVERIFY(ok && cancel);
                          acceptText = ok->text();
                          cancelText = cancel->text();
                      },
                      shown);
        QCOMPARE(acceptText, accept);
        QCOMPARE(cancelText, QString::fromUtf8("キャンセル"));
    }
};

QTEST_MAIN(TestRealFileDialog)
#include "test_filedialog.moc"

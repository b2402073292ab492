#pragma once
// What a dialog test sets up around each case: a fresh temporary folder as the current one
// (the dialogs read and write their files there), and scripted message boxes and file
// dialogs in place of the real ones. Everything is back as it was when it goes. A test may
// replace `boxes` or `files` for a while with doubles of its own.
//
// Also the ways an operator closes a dialog, as rows of a data-driven case.
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"

#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

namespace testutil {

struct DialogFixture {
    DialogFixture();
    ~DialogFixture();
    DialogFixture(const DialogFixture &) = delete;
    DialogFixture &operator=(const DialogFixture &) = delete;

    // The folder was made and is the current one.
    bool ok() const { return m_ok; }
    // A file in the folder.
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::unique_ptr<platform::ScriptedMessageBoxes> boxes = std::make_unique<platform::ScriptedMessageBoxes>();
    std::unique_ptr<platform::ScriptedFileDialogs> files = std::make_unique<platform::ScriptedFileDialogs>();

private:
    QString m_previous;
    bool m_ok = false;
};

// The ways an operator closes a dialog: the button that ends it (戻る), Esc, the window's
// close box.
enum class Close { Button, Escape, CloseBox };

// Adds the data column "how" (a Close) and one row for each way: "戻る", "Esc", "close box".
void addCloseRows();

// Closes `dlg` the way `how` says; `button` is the dialog's button that ends it.
void closeBy(Close how, QWidget &dlg, QWidget *button);

} // namespace testutil

#pragma once
// The small window that shows how far a transfer has come, over the dialog that started
// it: which part is being carried (for a transfer in parts), the blocks the vendor has
// accepted of how many, the attempt, and a "中止" button. "中止", Escape and the close box
// all ask for the transfer to be called off (cancelRequested); the window stays until its
// dialog hears how the transfer ended. It is not modal: the dialog's "戻る" goes on working.
#include "comm/vender.h"

#include <QWidget>

#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
namespace platform {
class Dialog;
}

class CTransferProgress : public QWidget {
    Q_OBJECT
public:
    // captionCp932: the window's caption.
    CTransferProgress(platform::Dialog *over, const std::string &captionCp932);

    // Shows the window centred over the upper part of its dialog.
    void ShowOver();
    // The part being carried: `index` (from 1) of `count`, and its name (CP932).
    void SetPart(int index, int count, const std::string &nameCp932);
    void SetProgress(const VenderProgress &progress);
    bool CancelAsked() const { return m_cancelAsked; }

    QPushButton *cancelButton() const { return m_cancel; }
    QString partText() const;
    QString blocksText() const;

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void askCancel();

    platform::Dialog *m_over = nullptr;
    QLabel *m_part = nullptr;
    QLabel *m_blocks = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
    bool m_cancelAsked = false;
};

#include "vendorui/transferprogress.h"

#include "platform/codepage.h"
#include "platform/ui/dialog.h"
#include "texts/clock.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CTransferProgress::CTransferProgress(platform::Dialog *over, const std::string &captionCp932)
    : QWidget(over, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_over(over)
{
    setWindowTitle(platform::fromCp932(captionCp932));
    if (over)
        setFont(over->font());
    auto *layout = new QVBoxLayout(this);
    m_part = new QLabel(this);
    m_part->hide();
    m_blocks = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_cancel = new QPushButton(platform::fromCp932(clocktext::kProgressCancel), this);
    m_cancel->setAutoDefault(false);
    layout->addWidget(m_part);
    layout->addWidget(m_blocks);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    connect(m_cancel, &QPushButton::clicked, this, &CTransferProgress::askCancel);
    SetProgress({});
}

void CTransferProgress::ShowOver()
{
    adjustSize();
    // A fixed size: the texts change while the window is up, and a window manager's frame
    // would lag behind the window growing or shrinking under it.
    setFixedSize(qMax(width(), fontMetrics().horizontalAdvance(QLatin1Char('0')) * 36), height());
    if (m_over) {
        const QRect d = m_over->frameGeometry();
        QRect r(QPoint(0, 0), frameSize());
        r.moveCenter(QPoint(d.center().x(), d.top() + d.height() / 3));
        r = platform::Dialog::keptWithin(r, platform::Dialog::availableArea(m_over));
        move(r.topLeft());
        m_over->keepAbove(this);
    }
    show();
    raise();
}

void CTransferProgress::SetPart(int index, int count, const std::string &nameCp932)
{
    m_part->setText(platform::fromCp932(clocktext::kProgressPart)
                        .arg(index)
                        .arg(count)
                        .arg(platform::fromCp932(nameCp932)));
    m_part->show();
}

void CTransferProgress::SetProgress(const VenderProgress &p)
{
    if (m_cancelAsked)
        return;
    const int total = int(p.blocksTotal ? p.blocksTotal : 1);
    m_blocks->setText(platform::fromCp932(clocktext::kProgressBlocks)
                          .arg(p.blocksDone)
                          .arg(p.blocksTotal)
                          .arg(p.attempt)
                          .arg(COrvathVender::Attempts));
    m_bar->setRange(0, total);
    m_bar->setValue(int(p.blocksDone));
}

QString CTransferProgress::partText() const
{
    return m_part->isVisibleTo(this) ? m_part->text() : QString();
}

QString CTransferProgress::blocksText() const
{
    return m_blocks->text();
}

void CTransferProgress::askCancel()
{
    if (m_cancelAsked)
        return;
    m_cancelAsked = true;
    m_cancel->setEnabled(false);
    m_blocks->setText(platform::fromCp932(clocktext::kProgressCancelling));
    emit cancelRequested();
}

void CTransferProgress::closeEvent(QCloseEvent *event)
{
    // Closing the window calls the transfer off; the window goes when the transfer has ended.
    event->ignore();
    askCancel();
}

void CTransferProgress::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        askCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

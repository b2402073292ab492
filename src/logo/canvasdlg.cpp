#include "logo/canvasdlg.h"

#include "logo/logolayout.h"
#include "logo/shopdlg.h"
#include "platform/codepage.h"
#include "texts/logo.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CCanvasDlg::CCanvasDlg(CShopDlg &owner) : platform::Dialog(IDD), m_owner(owner)
{
    // Moves arrive with the button up too, so that such a move can end a drag.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CCanvasDlg::~CCanvasDlg()
{
    destroyWindow();
}

void CCanvasDlg::paintEvent(QPaintEvent *)
{
    OnPaint();
}

void CCanvasDlg::OnPaint()
{
    static const QString title = platform::fromCp932(logotext::kCanvasTitle);
    if (windowTitle() != title)
        setWindowTitle(title);
    QPainter painter(this);
    const QImage &image = m_owner.WorkImage();
    const QRect target(0, 0, kLogoWidth, kLogoHeight);
    if (image.isNull())
        painter.fillRect(target, palette().window());
    else
        painter.drawImage(target, image);
}

void CCanvasDlg::mouseMoveEvent(QMouseEvent *event)
{
    OnMouseMove(event->buttons().testFlag(Qt::LeftButton), event->position().toPoint());
    platform::Dialog::mouseMoveEvent(event);
}

void CCanvasDlg::OnMouseMove(bool leftDown, const QPoint &pos)
{
    if (!leftDown) {
        m_dragging = false;
        return;
    }
    if (!m_dragging) {
        m_dragging = true;
        m_lastPoint = pos;
    }
    const QPoint delta = pos - m_lastPoint;
    m_lastPoint = pos;
    m_owner.MoveCurrentLayer(delta.x(), delta.y());
}

void CCanvasDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // Escape does not close the preview
        return;
    }
    platform::Dialog::keyPressEvent(event);
}

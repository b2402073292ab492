#include "logo/ui/canvasdlg.h"

#include "logo/logolayout.h"
#include "logo/ui/shopdlg.h"
#include "platform/codepage.h"
#include "texts/logo.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

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
    const int n = DotScale();
    const QRect target(0, 0, kLogoWidth * n, kLogoHeight * n); // in device pixels
    const qreal ratio = devicePixelRatioF();
    if (image.isNull() || target.width() / ratio < width() || target.height() / ratio < height())
        painter.fillRect(rect(), palette().window()); // the part the logo does not cover
    if (image.isNull())
        return;
    // Drawn in device pixels: each dot a whole block, never smoothed.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.scale(1.0 / ratio, 1.0 / ratio);
    painter.drawImage(target, image);
}

int CCanvasDlg::DotScale() const
{
    return std::max(1, int(std::floor(devicePixelRatioF() + 1e-6)));
}

QSize CCanvasDlg::ClientSize() const
{
    const qreal ratio = devicePixelRatioF();
    const int n = DotScale();
    return QSize(int(std::ceil(kLogoWidth * n / ratio - 1e-6)), int(std::ceil(kLogoHeight * n / ratio - 1e-6)));
}

QPoint CCanvasDlg::DotAt(const QPointF &position) const
{
    const qreal perDot = DotScale() / devicePixelRatioF(); // widget units per dot
    return QPoint(int(std::floor(position.x() / perDot + 1e-6)), int(std::floor(position.y() / perDot + 1e-6)));
}

void CCanvasDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        OnMouseMove(true, DotAt(event->position())); // starts the drag; a step of zero
    platform::Dialog::mousePressEvent(event);
}

void CCanvasDlg::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    platform::Dialog::mouseReleaseEvent(event);
}

void CCanvasDlg::mouseMoveEvent(QMouseEvent *event)
{
    OnMouseMove(event->buttons().testFlag(Qt::LeftButton), DotAt(event->position()));
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

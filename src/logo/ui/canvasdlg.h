#pragma once
// The preview window "印刷イメージ" beside the receipt logo dialog: the work image at full
// size, one screen pixel per printer dot, and the place where the operator moves the
// current text layer by dragging with the left button.
//
// On a scaled screen (device pixel ratio r) a dot is a block of N x N device pixels, N the
// whole part of r (at least 1), drawn without smoothing, so that the picture stays exact;
// mouse positions are counted in dots the same way.
//
// The window belongs to its owner (the logo dialog), which places and sizes it and tells
// it to repaint whenever the work image changes. A drag starts where the left button goes
// down (a window system reports no move there, so a drag that started at its first move
// would lose that first step); each move hands the mouse's displacement since the
// previous step to the owner at once; releasing the button, or a move with it up, ends
// the drag. Neither Escape nor Enter closes the window: it has no close box, and
// lives exactly as long as its owner.
#include "platform/ui/dialog.h"

class CShopDlg;

class CCanvasDlg : public platform::Dialog {
    Q_OBJECT
public:
    enum { IDD = 132 };

    explicit CCanvasDlg(CShopDlg &owner);
    ~CCanvasDlg() override;

    bool Dragging() const { return m_dragging; }
    // Device pixels per dot, across and down: a whole number, 1 on an unscaled screen.
    int DotScale() const;
    // The client size that holds the whole logo at DotScale() device pixels per dot.
    QSize ClientSize() const;
    // The dot under a point of the client area (in the widget's own coordinates).
    QPoint DotAt(const QPointF &position) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // The dialog keys have no meaning here: the window stays until its owner goes.
    void OnOK() override {}
    void OnCancel() override {}

    void OnPaint();
    // `leftDown`: the left button is held; `pos`: the mouse in dots from the client
    // area's top left corner (client pixels on an unscaled screen).
    void OnMouseMove(bool leftDown, const QPoint &pos);

private:
    CShopDlg &m_owner;
    bool m_dragging = false;
    QPoint m_lastPoint;
};

#pragma once
// The preview window "印刷イメージ" beside the receipt logo dialog: the work image at full
// size, one screen pixel per printer dot, and the place where the operator moves the
// current text layer by dragging with the left button.
//
// The window belongs to its owner (the logo dialog), which places and sizes it and tells
// it to repaint whenever the work image changes. A drag step hands the mouse's
// displacement since the previous step to the owner at once; a move with the left button
// up ends the drag. Neither Escape nor Enter closes the window: it has no close box, and
// lives exactly as long as its owner.
#include "platform/dialog.h"

class CShopDlg;

class CCanvasDlg : public platform::Dialog {
    Q_OBJECT
public:
    enum { IDD = 132 };

    explicit CCanvasDlg(CShopDlg &owner);
    ~CCanvasDlg() override;

    bool Dragging() const { return m_dragging; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // The dialog keys have no meaning here: the window stays until its owner goes.
    void OnOK() override {}
    void OnCancel() override {}

    void OnPaint();
    // `leftDown`: the left button is held; `pos`: the mouse in client pixels.
    void OnMouseMove(bool leftDown, const QPoint &pos);

private:
    CShopDlg &m_owner;
    bool m_dragging = false;
    QPoint m_lastPoint;
};

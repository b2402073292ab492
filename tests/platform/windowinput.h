#pragma once
// Mouse input for in-process dialog tests, delivered the way the window system delivers
// it: to the widget's window, at the widget's place, so that Qt's modality rules apply (a
// click on a window that a modal window blocks is dropped, as on screen). A widget that is
// not on screen cannot be clicked, just as the operator could not click it.
#include <QWidget>
#include <QWindow>
#include <QtTest>

inline void windowClick(QWidget *w, Qt::MouseButton button = Qt::LeftButton)
{
    QVERIFY2(w, "no such control");
    QWindow *window = w->window()->windowHandle();
    QVERIFY2(window && w->isVisible(), "the control is not on screen");
    QTest::mouseClick(window, button, {}, w->mapTo(w->window(), w->rect().center()));
}

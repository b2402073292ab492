#pragma once
// Operator input for in-process dialog tests. Mouse input is delivered the way the window
// system delivers it: to the widget's window, at the widget's place, so that Qt's modality
// rules apply (a click on a window that a modal window blocks is dropped, as on screen). A
// widget that is not on screen cannot be clicked, just as the operator could not click it.
#include <QComboBox>
#include <QPoint>
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

// The mouse moved to `pos` of `w`. The left button is pressed first when `buttons` says it
// is held; it is let go where the mouse last was when they say it is up.
inline bool g_leftHeld = false;
inline QPoint g_lastLocal;
inline void mouseMove(QWidget *w, QPoint pos, Qt::MouseButtons buttons)
{
    QWindow *window = w->window()->windowHandle();
    QVERIFY2(window, "the widget's window is not on screen");
    const QPoint local = w->mapTo(w->window(), pos);
    const bool left = buttons.testFlag(Qt::LeftButton);
    if (left && !g_leftHeld)
        QTest::mousePress(window, Qt::LeftButton, {}, local);
    else if (!left && g_leftHeld)
        QTest::mouseRelease(window, Qt::LeftButton, {}, g_lastLocal);
    g_leftHeld = left;
    QTest::mouseMove(window, local);
    g_lastLocal = local;
}

// Presses the left button at `from`, moves in steps to `to`, releases it there.
inline void drag(QWidget *w, QPoint from, QPoint to)
{
    mouseMove(w, from, Qt::LeftButton);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i)
        mouseMove(w, from + (to - from) * i / steps, Qt::LeftButton);
    mouseMove(w, to, Qt::NoButton);
}

// Picks row `index` of a list as the operator does (the list reports the choice).
inline void pick(QComboBox *list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Picks the row with `text`, as above.
inline void pick(QComboBox *list, const QString &text)
{
    const int i = list->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    pick(list, i);
}

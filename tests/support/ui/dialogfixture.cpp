#include "support/ui/dialogfixture.h"

#include "support/ui/windowinput.h"

#include <QDir>
#include <QtTest>

namespace testutil {

DialogFixture::DialogFixture() : m_previous(QDir::currentPath())
{
    m_ok = dir.isValid() && QDir::setCurrent(dir.path());
}

DialogFixture::~DialogFixture()
{
    files.reset();
    boxes.reset();
    QDir::setCurrent(m_previous);
}

void addCloseRows()
{
    QTest::addColumn<Close>("how");
    QTest::newRow("戻る") << Close::Button;
    QTest::newRow("Esc") << Close::Escape;
    QTest::newRow("close box") << Close::CloseBox;
}

void closeBy(Close how, QWidget &dlg, QWidget *button)
{
    switch (how) {
    case Close::Button:
        windowClick(button);
        break;
    case Close::Escape:
        QTest::keyClick(&dlg, Qt::Key_Escape);
        break;
    case Close::CloseBox:
        dlg.close();
        break;
    }
}

} // namespace testutil

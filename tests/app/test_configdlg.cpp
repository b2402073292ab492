// The communication settings dialog: stored settings -> selected items -> what OK stores
// and writes; cancel; and the main window's command that runs it.
#include "app/configdlg.h"
#include "app/quorvelapp.h"
#include "app/quorveldlg.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/ui/filedialog.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "platform/profile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/ui/windowinput.h"

#include <functional>
#include <memory>

namespace {

// The application object with its settings loaded from the working directory.
class App : public CQuorvelApp {
public:
    void load() { LoadSettings(); }
};

QString shown(platform::Dialog &dlg, int id)
{
    auto *c = dlg.item<QComboBox>(id);
    return c->currentIndex() < 0 ? QStringLiteral("(none)") : c->currentText();
}

} // namespace

class TestConfigDlg : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_startDir;
    std::unique_ptr<platform::ScriptedMessageBoxes> m_boxes;

    std::string ini() const { return m_dir->filePath(QStringLiteral("quorvel.ini")).toStdString(); }
    std::string iniBytes() const
    {
        std::string b;
        platform::readWholeFile(ini(), b, platform::kMaxProfileFileSize);
        return b;
    }
    // Runs the dialog modally; `operate` plays the operator once it is up.
    static int run(CConfigDlg &dlg, const std::function<void(CConfigDlg &)> &operate)
    {
        QTimer::singleShot(0, &dlg, [&dlg, operate] { operate(dlg); });
        return dlg.runModal();
    }

private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        QVERIFY(platform::currentDirectory(m_startDir));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(platform::setCurrentDirectory(m_dir->path().toStdString()));
        m_boxes = std::make_unique<platform::ScriptedMessageBoxes>();
    }
    void cleanup()
    {
        platform::setCurrentDirectory(m_startDir);
        m_boxes.reset();
        m_dir.reset();
    }

    void layoutFollowsTemplate142()
    {
        App app;
        CConfigDlg dlg(app);
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("通信設定"));
        const platform::DialogUnits &u = dlg.units();
        QCOMPARE(dlg.size(), QSize(u.x(163), u.y(139)));
        QStringList ports;
        for (int i = 1; i <= 10; ++i)
            ports << QStringLiteral("COM%1").arg(i);
        const struct {
            int id;
            QStringList items;
        } lists[] = {
            {CConfigDlg::IDC_COMPORT, ports},
            {CConfigDlg::IDC_COMRATE, {QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("9600")}},
            {CConfigDlg::IDC_PRTTYPE, {QStringLiteral("RX-2TB")}},
        };
        for (const auto &l : lists) {
            auto *c = dlg.item<QComboBox>(l.id);
            QVERIFY(c && !c->isEditable());
            QStringList items;
            for (int i = 0; i < c->count(); ++i)
                items << c->itemText(i);
            QCOMPARE(items, l.items);
        }
        QVERIFY(dlg.item<QPushButton>(1)->isDefault());
        QCOMPARE(dlg.item<QPushButton>(2)->text(), QString::fromUtf8("ｷｬﾝｾﾙ"));
    }

    void storedValuesSelectItemsAndOkWritesThem_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no settings file
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("comport");
        QTest::addColumn<int>("comrate");
        QTest::addColumn<int>("prttype");
        const QString none = QStringLiteral("(none)");
        QTest::newRow("defaults") << QByteArray() << "COM1" << "9600" << "RX-2TB" << QByteArray("COM1") << 9600 << 0;
        QTest::newRow("COM1 is not COM10") << QByteArray("[PC]\r\nCOMPORT=COM1\r\n") << "COM1" << "9600" << "RX-2TB"
                                           << QByteArray("COM1") << 9600 << 0;
        QTest::newRow("COM10") << QByteArray("[PC]\r\nCOMPORT=COM10\r\nCOMRATE=38400\r\n") << "COM10" << "38400"
                               << "RX-2TB" << QByteArray("COM10") << 38400 << 0;
        QTest::newRow("small letters") << QByteArray("[PC]\r\nCOMPORT=com2\r\n") << "COM2" << "9600" << "RX-2TB"
                                       << QByteArray("COM2") << 9600 << 0;
        QTest::newRow("no port begins with it") << QByteArray("[PC]\r\nCOMPORT=COM11\r\n") << none << "9600"
                                                << "RX-2TB" << QByteArray("") << 9600 << 0;
        QTest::newRow("rate by leading digits") << QByteArray("[PC]\r\nCOMRATE=1920\r\n") << "COM1" << "19200"
                                                << "RX-2TB" << QByteArray("COM1") << 19200 << 0;
        QTest::newRow("rate 0") << QByteArray("[PC]\r\nCOMRATE=0\r\n") << "COM1" << none << "RX-2TB"
                                << QByteArray("COM1") << 0 << 0;
        QTest::newRow("model 1") << QByteArray("[VENDER]\r\nPRTTYPE=1\r\n") << "COM1" << "9600" << none
                                 << QByteArray("COM1") << 9600 << -1;
        QTest::newRow("model -1") << QByteArray("[VENDER]\r\nPRTTYPE=-1\r\n") << "COM1" << "9600" << none
                                  << QByteArray("COM1") << 9600 << -1;
    }
    void storedValuesSelectItemsAndOkWritesThem()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, port);
        QFETCH(QString, rate);
        QFETCH(QString, device);
        QFETCH(QByteArray, comport);
        QFETCH(int, comrate);
        QFETCH(int, prttype);
        if (!file.isEmpty())
            QVERIFY(platform::writeFileAtomically(ini(), file.toStdString()));
        App app;
        app.load();

        CConfigDlg dlg(app);
        QString seenPort, seenRate, seenDevice;
        const int r = run(dlg, [&](CConfigDlg &d) {
            seenPort = shown(d, CConfigDlg::IDC_COMPORT);
            seenRate = shown(d, CConfigDlg::IDC_COMRATE);
            seenDevice = shown(d, CConfigDlg::IDC_PRTTYPE);
            windowClick(d.item(1));
        });
        QCOMPARE(r, int(platform::IDOK));
        QCOMPARE(seenPort, port);
        QCOMPARE(seenRate, rate);
        QCOMPARE(seenDevice, device);
        QCOMPARE(QByteArray::fromStdString(app.COMPORT), comport);
        QCOMPARE(app.COMRATE, comrate);
        QCOMPARE(app.PRTTYPE, prttype);
        QVERIFY(m_boxes->boxes().empty());

        // The file holds what the next start-up reads: an empty port is the empty text,
        // not the default.
        App next;
        next.load();
        QCOMPARE(QByteArray::fromStdString(next.COMPORT), comport);
        QCOMPARE(next.COMRATE, comrate);
        QCOMPARE(next.PRTTYPE, prttype);
        if (file.isEmpty())
            QCOMPARE(iniBytes(), std::string("[PC]\r\nCOMPORT=COM1\r\nCOMRATE=9600\r\n[VENDER]\r\nPRTTYPE=0\r\n"));
    }

    void okStoresWhatTheOperatorPicked()
    {
        App app;
        app.load();
        CConfigDlg dlg(app);
        run(dlg, [](CConfigDlg &d) {
            auto *port = d.item<QComboBox>(CConfigDlg::IDC_COMPORT);
            port->setFocus();
            QTest::keyClick(port, Qt::Key_Down); // COM1 -> COM2
            QTest::keyClick(port, Qt::Key_Down);
            d.item<QComboBox>(CConfigDlg::IDC_COMRATE)->setCurrentIndex(1); // 38400
            QTest::keyClick(&d, Qt::Key_Return);
        });
        QCOMPARE(app.COMPORT, std::string("COM3"));
        QCOMPARE(app.COMRATE, 38400);
        QCOMPARE(app.PRTTYPE, 0);
        QCOMPARE(platform::readProfileString(ini(), "PC", "COMPORT", "", 10), std::string("COM3"));
        QCOMPARE(platform::readProfileInt(ini(), "PC", "COMRATE", 0), 38400);
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("ｷｬﾝｾﾙ") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelChangesNothing()
    {
        QFETCH(int, how);
        const std::string before = "; kept as it is\r\n[PC]\r\nCOMPORT=com2\r\n";
        QVERIFY(platform::writeFileAtomically(ini(), before));
        App app;
        app.load();
        CConfigDlg dlg(app);
        const int r = run(dlg, [how](CConfigDlg &d) {
            d.item<QComboBox>(CConfigDlg::IDC_COMPORT)->setCurrentIndex(9);
            d.item<QComboBox>(CConfigDlg::IDC_COMRATE)->setCurrentIndex(0);
            d.item<QComboBox>(CConfigDlg::IDC_PRTTYPE)->setCurrentIndex(-1);
            switch (how) {
            case 0: windowClick(d.item(2)); break;
            case 1: QTest::keyClick(&d, Qt::Key_Escape); break;
            case 2: d.close(); break;
            }
        });
        QCOMPARE(r, int(platform::IDCANCEL));
        QCOMPARE(app.COMPORT, std::string("com2"));
        QCOMPARE(app.COMRATE, 9600);
        QCOMPARE(app.PRTTYPE, 0);
        QCOMPARE(iniBytes(), before);
    }

    void windowMenuRunsIt()
    {
        App app;
        app.load();
        CQuorvelDlg main(app);
        main.create();
        main.show();
        QAction *comm = nullptr;
        for (QAction *a : main.windowMenu()->actions())
            if (a->text() == QString::fromUtf8("通信設定..."))
                comm = a;
        QVERIFY(comm);
        emit main.windowMenu()->aboutToShow();
        QVERIFY(comm->isEnabled());
        int templateId = 0;
        QTimer::singleShot(0, this, [&templateId] {
            auto *dlg = qobject_cast<platform::Dialog *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            templateId = dlg->templateId();
            windowClick(dlg->item(1));
        });
        comm->trigger();
        QCOMPARE(templateId, int(CConfigDlg::IDD));
        QCOMPARE(platform::readProfileString(ini(), "PC", "COMPORT", "", 10), std::string("COM1"));
    }
};

QTEST_MAIN(TestConfigDlg)
#include "test_configdlg.moc"

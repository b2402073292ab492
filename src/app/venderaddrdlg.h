#pragma once
// The vendor address dialog ("接続先設定"): where the tool looks for the vendor.
//
// It opens on the address and port in force (the command line's, else the settings file's,
// else 127.0.0.1 and 9004). OK refuses a malformed address or port with a message and keeps
// the dialog open on the field at fault; otherwise it makes the two the address in force for
// the rest of the run, writes VENDER/ADDRESS and VENDER/PORT to the settings file (every
// other line stays as it was) and closes. When the file cannot be written the operator is
// told so; the new address is used all the same until the program ends. Cancel changes
// nothing.
//
// "接続テスト" tries the address and port typed in the boxes: it connects, reads the clock
// and the device number and shows what it found, or why it failed, in the result box. The
// test runs on a worker thread with a vendor object of its own (the application's belongs
// to the other dialogs), so the window keeps answering for as long as the connection takes
// (up to the communication time limits). Meanwhile the box says "接続中..." and the test
// button is greyed out; OK and cancel stay available, and closing the dialog neither waits
// for the test nor is disturbed by it: a result that comes after the dialog has gone is
// dropped.
#include "platform/ui/dialog.h"

#include <cstdint>
#include <memory>
#include <string>

class CQuorvelApp;
class QLineEdit;
class QPlainTextEdit;

class CVenderAddrDlg : public platform::Dialog {
    Q_OBJECT
public:
    enum { IDD = 150 };
    enum : int { IDC_ADDRESS = 1201, IDC_PORT = 1202, IDC_TEST = 1203, IDC_RESULT = 1204 };

    explicit CVenderAddrDlg(CQuorvelApp &app);
    ~CVenderAddrDlg() override;

    // True from the start of a connection test until its result is shown.
    bool TestRunning() const { return m_testRunning; }
    // Connection tests whose worker has not ended yet, those of closed dialogs included.
    static int TestsUnderWay();

    // What one connection test found. Runs on the calling thread (the dialog calls it on its
    // worker) and blocks for as long as the vendor takes, within the communication limits.
    // The text is CP932, lines separated by CR LF.
    static std::string RunConnectionTest(const std::string &host, uint16_t port);

    // The channel through which a worker hands its result to the dialog (see the .cpp).
    struct ResultChannel;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

    void OnTest();

private:
    // Checks the two boxes; on a malformed value shows why, puts the focus on that box and
    // returns false.
    bool TakeAddress(std::string &host, uint16_t &port);
    void ShowResult(const std::string &cp932);
    void TestFinished(const std::string &cp932);

    CQuorvelApp &m_app;
    QLineEdit *m_editAddress = nullptr;
    QLineEdit *m_editPort = nullptr;
    QPlainTextEdit *m_editResult = nullptr;
    bool m_testRunning = false;
    std::shared_ptr<ResultChannel> m_channel;

    static const platform::CommandTable<CVenderAddrDlg> kCommands;
};

#pragma once
// The application object: one per process. Start-up (InitInstance) starts the socket
// layer, takes the single-instance guard, reads the settings file quorvel.ini in the
// working directory and runs the main dialog modally; the process ends when it closes.
// The settings live here for every dialog to read; SaveSettings writes three of them
// back.
//
// The vendor's address: 127.0.0.1 and port 9004 unless the settings file gives
// VENDER/ADDRESS (a numeric IPv4 or IPv6 address) or VENDER/PORT (1-65535); a value that
// is not of that form is ignored. --host and --port on the command line win over the file
// for that run. The vendor address dialog changes the address in force and writes the two
// keys (SaveVenderAddress).
#include "comm/vender.h"
#include "comm/venderworker.h"
#include "platform/instanceguard.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>

class QWidget;

class CQuorvelApp {
public:
    CQuorvelApp();
    virtual ~CQuorvelApp();
    CQuorvelApp(const CQuorvelApp &) = delete;
    CQuorvelApp &operator=(const CQuorvelApp &) = delete;

    enum class ParseResult { Run, Help, Error };
    // Accepts --host ADDR and --port N (also --host=ADDR, --port=N) and --help. On Error
    // `message` says what is wrong; on Help it holds the usage text.
    ParseResult ParseCommandLine(const QStringList &arguments, std::string &message);
    static const char *Usage();

    // The forms the vendor's address takes, on the command line, in the settings file and in
    // the vendor address dialog: an IPv4 address in dotted-decimal form or an IPv6 address in
    // numeric form (never a name); the port is read by ParsePort (comm/port.h).
    static bool IsVenderAddress(const std::string &text);

    // Start-up. Always returns false: after the main dialog has closed, or after a
    // refused start, the process goes on to ExitInstance and ends.
    virtual bool InitInstance();
    // Releases the single-instance guard; returns the process's exit status: 0 after a
    // normal run, 1 after a refused start.
    virtual int ExitInstance();

    // Writes COMPORT, COMRATE and PRTTYPE to the settings file, in that order, stopping
    // at the first write that fails. Tells nobody; the result is only for the curious.
    bool SaveSettings();

    // Makes `host` (a valid address) and `port` the vendor address for the rest of the run:
    // every later OpenVender connects there.
    void SetVenderAddress(const std::string &host, uint16_t port);
    // Writes the address in force as VENDER/ADDRESS and VENDER/PORT, both or neither, and
    // leaves every other line of the file as it was. False when the file was not written.
    bool SaveVenderAddress();

    // The process's one vendor object. The dialogs that talk to the vendor open its
    // connection in their initialisation (OpenVender, which tells the operator when the
    // vendor cannot be reached) and close it when their window goes (CloseVender).
    COrvathVender &Vender() { return m_vender; }
    void OpenVender();
    void CloseVender();
    // The thread that carries out the vendor object's operations for the dialogs (made on
    // first use; from then on the vendor object is touched on that thread only).
    CVenderWorker &VenderWorker();

    // The executable's file name without folder and extension: names the single-instance
    // guard and is the caption of every message box.
    const std::string &appName() const { return m_appName; }
    const std::string &settingsPath() const { return m_settingsPath; }
    const std::string &workingDirectory() const { return m_workingDir; }
    const std::string &host() const { return m_host; }
    uint16_t port() const { return m_port; }
    QWidget *mainWindow() const { return m_pMainWnd; }

    // Settings, loaded once at start-up (CP932 text).
    std::string COMPORT = "COM1"; // serial port name; at most 9 bytes are taken from the file
    int32_t COMRATE = 9600;       // serial rate in bit/s
    int32_t PRTTYPE = 0;          // index of the connected device model
    bool SHOPLOGO = false;        // sending a logo also exports the C header

    static constexpr const char *kSettingsFileName = "quorvel.ini";

protected:
    // The start-up steps that touch the platform, one by one so that tests can stand in.
    virtual bool StartSocketLayer();
    virtual platform::InstanceGuard::Result TakeInstanceGuard();
    virtual void RunMainDialog();
    // Steps 3 to 5 of start-up: working directory, settings path, settings (the vendor's
    // address among them, where the command line did not give it).
    void LoadSettings();

    std::string m_appName;
    std::string m_settingsPath;
    std::string m_workingDir;
    std::string m_host = "127.0.0.1";
    uint16_t m_port = 9004;
    bool m_hostGiven = false; // --host was given: the settings file's ADDRESS does not count
    bool m_portGiven = false; // --port was given: the file's PORT does not count
    std::unique_ptr<platform::InstanceGuard> m_mutex;
    COrvathVender m_vender;
    std::unique_ptr<CVenderWorker> m_worker; // after m_vender: it goes first
    QWidget *m_pMainWnd = nullptr;
    int m_exitCode = 0;
};

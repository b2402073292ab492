// Start-up of the application object: the order of its steps, the settings file, and
// SaveSettings. The platform steps that would block or touch the real machine (the
// main dialog) are stood in for.
#include "app/quorvelapp.h"
#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/codepage.h"
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"
#include "support/testfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::InstanceGuard;
using platform::MsgIcon;

namespace {

class TestApp : public CQuorvelApp {
public:
    bool socketLayerStarts = true;
    std::optional<InstanceGuard::Result> guardAnswer; // unset: the real guard
    int guardCalls = 0;
    bool ranMainDialog = false;

protected:
    bool StartSocketLayer() override { return socketLayerStarts; }
    InstanceGuard::Result TakeInstanceGuard() override
    {
        ++guardCalls;
        return guardAnswer ? *guardAnswer : CQuorvelApp::TakeInstanceGuard();
    }
    void RunMainDialog() override { ranMainDialog = true; }
};

// Runs each test in a fresh working directory (not the executable's folder) with its
// own folder for instance guards.
class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platform::currentDirectory(startDir));
        dir = testfolder::fresh("qv-app");
        ::setenv("XDG_RUNTIME_DIR", testfolder::runtime(dir).c_str(), 1);
        ASSERT_TRUE(platform::setCurrentDirectory(dir.string()));
    }
    void TearDown() override
    {
        platform::setCurrentDirectory(startDir);
        fs::remove_all(dir);
    }
    std::string ini() const { return (dir / "quorvel.ini").string(); }
    void writeIni(const std::string &bytes) { ASSERT_TRUE(platform::writeFileAtomically(ini(), bytes)); }
    std::string readIni() const
    {
        std::string b;
        EXPECT_TRUE(platform::readWholeFile(ini(), b, platform::kMaxProfileFileSize));
        return b;
    }

    std::string startDir;
    fs::path dir;
    platform::ScriptedMessageBoxes boxes;
};

} // namespace

TEST_F(Startup, WithoutSettingsFileUsesDefaultsAndCreatesNothing)
{
    TestApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(app.ranMainDialog);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(app.settingsPath(), ini());
    EXPECT_EQ(app.COMPORT, "COM1");
    EXPECT_EQ(app.COMRATE, 9600);
    EXPECT_EQ(app.PRTTYPE, 0);
    EXPECT_FALSE(app.SHOPLOGO);
    EXPECT_FALSE(fs::exists(ini()));
    EXPECT_EQ(app.ExitInstance(), 0);
}

TEST_F(Startup, ReadsTheSettingsFileOfTheWorkingDirectory)
{
    writeIni("[pc]\r\nComPort = COM1234567890\r\nCOMRATE=19200\r\n[VENDER]\r\nPRTTYPE=-1\r\nSHOPLOGO=2\r\n");
    TestApp app;
    app.InitInstance();
    EXPECT_EQ(app.COMPORT, "COM123456"); // at most 9 characters
    EXPECT_EQ(app.COMRATE, 19200);
    EXPECT_EQ(app.PRTTYPE, -1);
    EXPECT_TRUE(app.SHOPLOGO);
}

TEST_F(Startup, ShopLogoSwitchIsOnForAnyValueButZero)
{
    const std::pair<const char *, bool> cases[] = {
        {"SHOPLOGO=2\r\n", true}, {"SHOPLOGO=1\r\n", true},  {"SHOPLOGO=-3\r\n", true},
        {"SHOPLOGO=0\r\n", false}, {"SHOPLOGO=off\r\n", false}, {"", false},
    };
    for (const auto &[line, on] : cases) {
        writeIni(std::string("[VENDER]\r\n") + line);
        TestApp app;
        app.InitInstance();
        EXPECT_EQ(app.SHOPLOGO, on) << line;
    }
}

TEST_F(Startup, SettingsPathIsBuiltWholeForALongWorkingDirectory)
{
    fs::path deep = dir;
    while (deep.string().size() < 400)
        deep /= std::string(60, 'd');
    fs::create_directories(deep);
    ASSERT_TRUE(platform::setCurrentDirectory(deep.string()));
    ASSERT_TRUE(platform::writeFileAtomically((deep / "quorvel.ini").string(), "[PC]\r\nCOMRATE=38400\r\n"));
    TestApp app;
    app.InitInstance();
    EXPECT_EQ(app.settingsPath(), (deep / "quorvel.ini").string());
    EXPECT_EQ(app.COMRATE, 38400);
}

TEST_F(Startup, SaveSettingsFromDefaultsWritesTwoSectionsAndThreeKeys)
{
    TestApp app;
    app.InitInstance();
    EXPECT_TRUE(app.SaveSettings());
    EXPECT_EQ(readIni(), "[PC]\r\nCOMPORT=COM1\r\nCOMRATE=9600\r\n[VENDER]\r\nPRTTYPE=0\r\n");
}

TEST_F(Startup, SaveSettingsKeepsTheRestOfAHandEditedFile)
{
    writeIni("; shop 12\n[VENDER]\nSHOPLOGO=1\nPRTTYPE=0\n\n[PC]\ncomrate=9600\n[Mine]\nx=y\n");
    TestApp app;
    app.InitInstance();
    app.COMPORT = "COM2";
    app.COMRATE = 38400;
    app.PRTTYPE = -1;
    EXPECT_TRUE(app.SaveSettings());
    EXPECT_EQ(readIni(), "; shop 12\r\n[VENDER]\r\nSHOPLOGO=1\r\nPRTTYPE=-1\r\n\r\n"
                         "[PC]\r\ncomrate=38400\r\nCOMPORT=COM2\r\n[Mine]\r\nx=y\r\n");
}

TEST_F(Startup, RefusedStartsShowTheirMessageAndRunNoWindow)
{
    struct Case {
        const char *what;
        bool socketLayerStarts;
        std::optional<InstanceGuard::Result> guard;
        const char *message; // UTF-8
        int guardCalls;
    };
    const Case cases[] = {
        // When the socket layer fails the second-instance test is not made.
        {"socket layer", false, std::nullopt, "ソケット通信の初期化が失敗しました。", 0},
        {"second instance", true, InstanceGuard::Result::AlreadyRunning, "多重起動はできません", 1},
        {"no guard", true, InstanceGuard::Result::Failed, "多重起動の確認ができないため、起動を中止します。", 1},
    };
    for (const Case &c : cases) {
        boxes.clear();
        TestApp app;
        app.socketLayerStarts = c.socketLayerStarts;
        app.guardAnswer = c.guard;
        EXPECT_FALSE(app.InitInstance()) << c.what;
        EXPECT_FALSE(app.ranMainDialog) << c.what;
        EXPECT_EQ(app.guardCalls, c.guardCalls) << c.what;
        ASSERT_EQ(boxes.boxes().size(), 1u) << c.what;
        EXPECT_EQ(boxes.boxes()[0].text, platform::cp932FromUtf8(c.message)) << c.what;
        EXPECT_EQ(boxes.boxes()[0].icon, MsgIcon::Exclamation) << c.what;
        EXPECT_EQ(boxes.boxes()[0].buttons, platform::MsgButtons::Ok) << c.what;
        EXPECT_NE(app.ExitInstance(), 0) << c.what;
    }
}

TEST_F(Startup, TheGuardIsHeldUntilExitInstance)
{
    TestApp first;
    first.InitInstance();
    {
        TestApp second;
        second.InitInstance();
        EXPECT_FALSE(second.ranMainDialog);
        EXPECT_EQ(second.ExitInstance(), 1);
    }
    EXPECT_EQ(first.ExitInstance(), 0);
    TestApp third;
    third.InitInstance();
    EXPECT_TRUE(third.ranMainDialog);
}

TEST(CommandLine, HostAndPort)
{
    struct Case {
        QStringList args;
        CQuorvelApp::ParseResult result;
        std::string host;
        int port;
    };
    using R = CQuorvelApp::ParseResult;
    const Case cases[] = {
        {{"quorvel"}, R::Run, "127.0.0.1", 9004},
        {{"quorvel", "--host", "::1", "--port", "19004"}, R::Run, "::1", 19004},
        {{"quorvel", "--port=1", "--host=127.0.0.2"}, R::Run, "127.0.0.2", 1},
        {{"quorvel", "--host", "localhost"}, R::Error, "127.0.0.1", 9004}, // names are not looked up
        {{"quorvel", "--port", "0"}, R::Error, "127.0.0.1", 9004},
        {{"quorvel", "--port", "65536"}, R::Error, "127.0.0.1", 9004},
        {{"quorvel", "--port", "9x"}, R::Error, "127.0.0.1", 9004},
        {{"quorvel", "--port"}, R::Error, "127.0.0.1", 9004},
        {{"quorvel", "--host="}, R::Error, "127.0.0.1", 9004},
        {{"quorvel", "extra"}, R::Error, "127.0.0.1", 9004},
        {{"quorvel", "--help"}, R::Help, "127.0.0.1", 9004},
    };
    for (const Case &c : cases) {
        CQuorvelApp app;
        std::string message;
        EXPECT_EQ(app.ParseCommandLine(c.args, message), c.result) << c.args.join(' ').toStdString();
        EXPECT_EQ(app.host(), c.host) << c.args.join(' ').toStdString();
        EXPECT_EQ(app.port(), c.port) << c.args.join(' ').toStdString();
        EXPECT_EQ(message.empty(), c.result == R::Run);
    }
}

TEST_F(Startup, VenderAddressComesFromTheFileUnlessTheCommandLineGivesIt)
{
    // Addresses from the documentation ranges: these are only read, never connected to.
    struct Case {
        const char *what;
        const char *file; // nullptr: no settings file
        QStringList args;
        std::string host;
        int port;
    };
    const Case cases[] = {
        {"no file", nullptr, {}, "127.0.0.1", 9004},
        {"keys absent", "[VENDER]\r\nPRTTYPE=0\r\n", {}, "127.0.0.1", 9004},
        {"IPv4", "[VENDER]\r\nADDRESS=192.0.2.10\r\nPORT=10004\r\n", {}, "192.0.2.10", 10004},
        {"IPv6, blanks, small letters", "[vender]\r\naddress = 2001:db8::5 \r\nPort=65535\r\n", {}, "2001:db8::5", 65535},
        {"address only", "[VENDER]\r\nADDRESS=::1\r\n", {}, "::1", 9004},
        {"port only", "[VENDER]\r\nPORT=1\r\n", {}, "127.0.0.1", 1},
        {"a name", "[VENDER]\r\nADDRESS=vendor.local\r\n", {}, "127.0.0.1", 9004},
        {"three parts", "[VENDER]\r\nADDRESS=192.0.2\r\n", {}, "127.0.0.1", 9004},
        {"empty address", "[VENDER]\r\nADDRESS=\r\n", {}, "127.0.0.1", 9004},
        {"in another section", "[PC]\r\nADDRESS=192.0.2.10\r\nPORT=10004\r\n", {}, "127.0.0.1", 9004},
        {"port 0", "[VENDER]\r\nPORT=0\r\n", {}, "127.0.0.1", 9004},
        {"port 65536", "[VENDER]\r\nPORT=65536\r\n", {}, "127.0.0.1", 9004},
        {"port +80", "[VENDER]\r\nPORT=+80\r\n", {}, "127.0.0.1", 9004},
        {"port -80", "[VENDER]\r\nPORT=-80\r\n", {}, "127.0.0.1", 9004},
        {"port 80x", "[VENDER]\r\nPORT=80x\r\n", {}, "127.0.0.1", 9004},
        {"port of many digits", "[VENDER]\r\nPORT=000000000000000080\r\n", {}, "127.0.0.1", 9004},
        {"port 4294967376 (80 + 2^32)", "[VENDER]\r\nPORT=4294967376\r\n", {}, "127.0.0.1", 9004},
        {"--host wins, the file's port stays", "[VENDER]\r\nADDRESS=192.0.2.10\r\nPORT=10004\r\n",
         {"--host", "::1"}, "::1", 10004},
        {"--port wins, the file's address stays", "[VENDER]\r\nADDRESS=192.0.2.10\r\nPORT=10004\r\n",
         {"--port=19004"}, "192.0.2.10", 19004},
        {"both win", "[VENDER]\r\nADDRESS=192.0.2.10\r\nPORT=10004\r\n",
         {"--port", "19004", "--host", "127.0.0.2"}, "127.0.0.2", 19004},
        {"--host equal to the default still wins", "[VENDER]\r\nADDRESS=192.0.2.10\r\n",
         {"--host", "127.0.0.1"}, "127.0.0.1", 9004},
    };
    for (const Case &c : cases) {
        fs::remove(ini());
        if (c.file)
            writeIni(c.file);
        TestApp app;
        std::string message;
        ASSERT_EQ(app.ParseCommandLine(QStringList{"quorvel"} + c.args, message), CQuorvelApp::ParseResult::Run)
            << c.what;
        EXPECT_FALSE(app.InitInstance()) << c.what;
        EXPECT_TRUE(app.ranMainDialog) << c.what;
        EXPECT_EQ(app.host(), c.host) << c.what;
        EXPECT_EQ(app.port(), c.port) << c.what;
        EXPECT_TRUE(boxes.boxes().empty()) << c.what; // a malformed value is passed over silently
    }
}

TEST_F(Startup, SaveVenderAddressKeepsTheRestOfTheFileAndReportsAFailedWrite)
{
    writeIni("; shop 12\r\n[VENDER]\r\nPRTTYPE=0\r\naddress = 192.0.2.1\r\n\r\n[PC]\r\nCOMRATE=9600\r\n");
    TestApp app;
    app.InitInstance();
    app.SetVenderAddress("::1", 19004);
    EXPECT_TRUE(app.SaveVenderAddress());
    EXPECT_EQ(readIni(), "; shop 12\r\n[VENDER]\r\nPRTTYPE=0\r\naddress=::1\r\nPORT=19004\r\n\r\n"
                         "[PC]\r\nCOMRATE=9600\r\n");

    // A settings file that cannot be replaced: nothing is written, and the caller hears of it.
    fs::remove(ini());
    fs::create_directory(ini());
    EXPECT_FALSE(app.SaveVenderAddress());
    EXPECT_TRUE(fs::is_directory(ini()));
    EXPECT_EQ(app.host(), "::1");
}

// quorvelctl's vendor commands, run as a process against the simulated vendor.
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testutil;
namespace fs = std::filesystem;

namespace {

struct CtlRun {
    int status = -1;
    std::string out, err;
};

class Ctl : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("quorvel-ctl-" + testsys::processId());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void startSim(vendorsim::Faults faults = {})
    {
        sim = startSimulator(std::move(faults));
        ASSERT_TRUE(sim);
        port = sim->port();
    }

    static std::string slurp(const fs::path &p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // args are given to the shell as they are: quote what needs it, with double quotes
    // (both the POSIX shell and the Windows one take those).
    CtlRun ctl(const std::string &args, bool withPort = true)
    {
        const fs::path out = dir / "out", err = dir / "err";
        const std::string cmd = std::string(QUORVELCTL_PATH) +
            (withPort ? " --port " + std::to_string(port) : std::string()) + " " + args + " >" + out.string() +
            " 2>" + err.string();
        CtlRun r;
        r.status = testsys::shell(cmd);
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    std::unique_ptr<vendorsim::Simulator> sim;
    uint16_t port = 0;
    fs::path dir;
};

} // namespace

TEST_F(Ctl, UsageErrorsSendNothing)
{
    startSim();
    const char *cases[] = {
        "clock set 2023-02-29 12:00",
        "clock set 2024-04-31 10:00",
        "clock set 2024-13-01 10:00",
        "clock set 2024-01-01 24:00",
        "clock set 1999-12-31 10:00",
        "clock set 2024-01-01",
        "clock set",
        "clock get now",
        "clock",
        "number set",
        "number set ABCDEFG",
        "number set \xEF\xBD\xB1",
        "logo send",
        "logo",
        "frobnicate",
        "--host localhost clock get", // names are not looked up
    };
    for (const char *c : cases) {
        const CtlRun r = ctl(c);
        EXPECT_EQ(r.status, 2) << c;
        EXPECT_FALSE(r.err.empty()) << c;
    }
    EXPECT_EQ(ctl("number set \xEF\xBD\xB1").err, "半角英数文字以外は使用できません\n");
    EXPECT_EQ(ctl("--port 0 clock get", false).status, 2);
    EXPECT_EQ(ctl("--port +" + std::to_string(port) + " clock get", false).status, 2); // no sign
    EXPECT_EQ(sim->exchanges(), 0);
}

TEST_F(Ctl, VendorOperations)
{
    startSim();
    CtlRun r = ctl("clock set 2024-02-29 12:34:56");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "時刻情報を設定しました\n");
    r = ctl("clock get");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 16), "24/02/29 12:34:5");

    EXPECT_EQ(ctl("clock set \"2030-01-02 03:04\"").status, 0); // one quoted argument
    EXPECT_EQ(dataOf(sim->requests().back()), hex("30 01 02 03 04 00"));

    EXPECT_EQ(ctl("number set AB-1").out, "装置番号を設定しました\n");
    EXPECT_EQ(sim->deviceNumber(), "AB-1  ");
    EXPECT_EQ(ctl("number get").out, "AB-1  \n");

    Bytes work(6152, 0);
    const Bytes head = hex("00 1D 2A 30 10");
    std::copy(head.begin(), head.end(), work.begin());
    work[6149] = 0x1D;
    work[6150] = 0x2F;
    std::ofstream((dir / "shoplogo.imp").string(), std::ios::binary)
        .write(reinterpret_cast<const char *>(work.data()), std::streamsize(work.size()));
    r = ctl("logo send " + (dir / "shoplogo.imp").string());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "領収書店名イメージを送信しました\n");
    EXPECT_EQ(sim->receivedLogo(), work);
}

TEST_F(Ctl, FailuresAndTrace)
{
    port = portWithNothingListening();
    CtlRun r = ctl("clock get");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "通信できません。\n環境を確認してください。\n");

    vendorsim::Faults f;
    f.status = 2;
    startSim(f);
    r = ctl("--trace number set X");
    EXPECT_EQ(r.status, 1);
    std::istringstream lines(r.err);
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first, "装置番号の設定に失敗しました。");
    std::getline(lines, first);
    EXPECT_EQ(first, "0000:>>PACKET COMMAND START --------"); // the trace, oldest line first
    EXPECT_NE(r.err.find("<<パケット確定\n"), std::string::npos);

    // A file that is missing or is no regular file: refused before anything is sent.
    std::vector<std::string> files = {(dir / "missing.imp").string(), testsys::endlessDevice(), dir.string()};
    if (testsys::makeFifo(dir / "fifo.imp"))
        files.push_back((dir / "fifo.imp").string());
    const int before = sim->exchanges();
    for (const std::string &file : files) {
        r = ctl("logo send " + file);
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.err, "ロゴデータファイルが読み込めません\n送信失敗しました \n環境を確認してください。\n")
            << file;
    }
    EXPECT_EQ(sim->exchanges(), before);
}

TEST_F(Ctl, HelpNamesEveryCommand)
{
    const CtlRun r = ctl("--help", false);
    EXPECT_EQ(r.status, 0);
    for (const char *c : {"clock get", "clock set now", "clock set YYYY-MM-DD", "number get", "number set TEXT",
                          "logo send FILE", "--trace", "exit status"})
        EXPECT_NE(r.out.find(c), std::string::npos) << c;
}

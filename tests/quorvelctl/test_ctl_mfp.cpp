// quorvelctl mfp, run as a process against the simulated vendor.
#include "mfp/mfpfile.h"
#include "support/testfolder.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace testutil;

namespace {

std::string readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CtlMfp : public ::testing::Test {
protected:
    struct Run {
        int status = -1;
        std::string out, err;
    };

    void SetUp() override
    {
        dir = testfolder::fresh("qv-ctl-mfp");
        sim = startSimulator();
        ASSERT_TRUE(sim);
    }
    void TearDown() override { fs::remove_all(dir); }

    // `args` go to the shell as they are.
    Run run(const std::string &args)
    {
        const std::string cmd = std::string(QUORVELCTL_PATH) + " --port " + std::to_string(sim->port()) + " " +
            args + " >" + (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
        return {testsys::shell(cmd), readAll(dir / "stdout"), readAll(dir / "stderr")};
    }
    std::string path(const char *name) const { return (dir / name).string(); }
    void write(const char *name, const std::string &bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // The vendor holds a set with a different value in every byte, some beyond their lists.
    MfpParameterSet vendorHoldsPattern()
    {
        MfpParameterSet s;
        for (size_t i = 0; i < kMfpSetSize; ++i)
            s.bytes[i] = uint8_t(i * 7 + 1);
        for (size_t k = 0; k < kMfpPaperCount; ++k)
            s.entry(k).paperNumber() = uint8_t(k);
        std::array<uint8_t, kMfpSetSize> a;
        std::copy(s.bytes.begin(), s.bytes.end(), a.begin());
        sim->setMfpParameters(a);
        return s;
    }
    MfpParameterSet vendorSet() const
    {
        MfpParameterSet s;
        const auto a = sim->mfpParameters();
        std::copy(a.begin(), a.end(), s.bytes.begin());
        return s;
    }
    void failExchange(int n)
    {
        vendorsim::Faults f;
        f.status = 1;
        f.statusOn = {sim->exchanges() + n};
        sim->setFaults(f);
    }

    fs::path dir;
    std::unique_ptr<vendorsim::Simulator> sim;
};

} // namespace

TEST_F(CtlMfp, UsageErrorsSendNothing)
{
    write("good.csv", "MFPconfig\r\n");
    for (const char *c : {"mfp", "mfp frob", "mfp get x", "mfp get -o", "mfp get -x a.csv", "mfp get -o a.csv b",
                          "mfp set", "mfp set good.csv more", "mfp show a.csv b.csv"}) {
        const Run r = run(c);
        EXPECT_EQ(r.status, 2) << c;
        EXPECT_FALSE(r.err.empty()) << c;
        EXPECT_TRUE(r.out.empty()) << c;
    }
    EXPECT_EQ(sim->exchanges(), 0);
    EXPECT_NE(run("--help").out.find("mfp get [-o FILE.csv]"), std::string::npos);
}

TEST_F(CtlMfp, GetWritesTheFileAsTheDialogSaves)
{
    const MfpParameterSet held = vendorHoldsPattern();
    Run r = run("mfp get");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, FormatMfpFile(held));
    // The three kinds, in order, each asked for once.
    std::vector<Bytes> asked;
    for (const Bytes &f : sim->requests())
        asked.push_back(dataOf(f));
    EXPECT_EQ(asked, (std::vector<Bytes>{hex("00 00"), hex("00 01"), hex("00 02")}));

    write("old.csv", "old");
    r = run("mfp get -o " + path("old.csv"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(readAll(dir / "old.csv"), FormatMfpFile(held));
}

TEST_F(CtlMfp, FailedGetWritesNothing)
{
    vendorHoldsPattern();
    write("old.csv", "old");
    failExchange(2); // kind 1
    Run r = run("mfp get -o " + path("old.csv"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readAll(dir / "old.csv"), "old");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "ＭＰＦパラメータの取得に失敗しました。");

    failExchange(3); // kind 2
    r = run("mfp get");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());

    // Nothing listens: no file either.
    const Run none = [&] {
        sim.reset();
        const std::string cmd = std::string(QUORVELCTL_PATH) + " --port " +
            std::to_string(portWithNothingListening()) + " mfp get -o " + path("new.csv") + " >" +
            testsys::nullDevice() + " 2>&1";
        return Run{testsys::shell(cmd), {}, {}};
    }();
    EXPECT_EQ(none.status, 1);
    EXPECT_FALSE(fs::exists(dir / "new.csv"));
}

TEST_F(CtlMfp, SetSendsTheFileLoadedOntoTheInitialSet)
{
    vendorHoldsPattern();
    write("part.csv", "MFPconfig\r\n3,161,1,1\r\n101,1\r\n");
    Run r = run("mfp set " + path("part.csv"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ベンダーにＭＰＦパラメータを設定しました。\n");
    MfpParameterSet expected = MfpParameterSet::Initial();
    expected.entry(3)[PaperCodeIndex] = 161;
    expected.entry(3)[LefSef] = 1;
    expected.entry(3)[WidePaper] = 1;
    expected.scanCharging() = 1;
    EXPECT_EQ(vendorSet(), expected);

    // A file that cannot be read, or is of another kind: nothing is sent at all.
    const int before = sim->exchanges();
    write("wrong.csv", "SHOPLOGO\r\n100,1\r\n");
    r = run("mfp set " + path("wrong.csv"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("異なるファイルです！"), std::string::npos);
    r = run("mfp set " + path("missing.csv"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ファイルが開けません！"), std::string::npos);
    EXPECT_EQ(sim->exchanges(), before);

    // A refused kind stops the transfer: kind 2 is not sent.
    failExchange(2);
    EXPECT_EQ(run("mfp set " + path("part.csv")).status, 1);
    EXPECT_EQ(sim->exchanges(), before + 2);
}

TEST_F(CtlMfp, ShowPrintsTheTexts)
{
    write("a.csv", "MFPconfig\r\n0,4,1,1,1,1,25,12,15,7,3\r\n1,200,2,0,0,0,26,0,0,0,4\r\n100,1\r\n101,1\r\n");
    Run r = run("mfp show " + path("a.csv"));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string expected =
        "用紙1: (0x*104) : A系列(ISO) - A4, SEF, ワイド, インデックス, 1, 指定しない, その他, インデックス15, "
        "その他, 指定しない\n"
        "用紙2: 200, 2, 非ワイド, 非インデックス, 0, 26, 普通, インデックスなし, 指定なし, 4\n"
        "用紙3: (0x*100) : A系列(ISO) - A0, LEF, 非ワイド, 非インデックス, 0, 普通紙, 普通, インデックスなし, "
        "指定なし, 通常\n";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    EXPECT_NE(r.out.find("\nFAX２回線目使用設定: 使用する\n"
                         "スキャン送信課金方式設定: SMTPサーバーへのデータ送信回数ごとに課金\n"),
              std::string::npos);
    EXPECT_EQ(sim->exchanges(), 0);

    // The vendor's set, with an entry that carries another paper number.
    auto a = sim->mfpParameters();
    a[11 * 4] = 7;
    sim->setMfpParameters(a);
    r = run("mfp show");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("用紙5: (0x*100) : A系列(ISO) - A0, LEF, 非ワイド, 非インデックス, 0, 普通紙, 普通, "
                         "インデックスなし, 指定なし, 通常 (paper number 8)\n"),
              std::string::npos);
}

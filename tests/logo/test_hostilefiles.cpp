// Every file the tool writes, on a full disk and in a folder the user may not write into:
// the previous file stays whole and the writer reports the failure. Every file it reads,
// when huge, binary, empty, a folder or a FIFO: a refusal, at once.
#include "logo/logolayout.h"
#include "logo/logorender.h"
#include "logo/workfile.h"
#include "mfp/mfpfile.h"
#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "support/testfolder.h"

#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kOld = "previous content\r\n";

std::string contentOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

QString q(const fs::path &p)
{
    return QFile::decodeName(p.c_str());
}

// One writer of the tool: writes a new version of the file at `path`, true when it reports
// success (and so the operator would be told it was written).
struct Writer {
    const char *name;
    std::function<bool(const fs::path &path, const fs::path &dir)> write;
};

const std::vector<Writer> &writers()
{
    static const std::vector<Writer> list = {
        {"settings",
         [](const fs::path &p, const fs::path &) {
             return platform::writeProfileString(p.string(), "PC", "COMPORT", std::string(300, '2'));
         }},
        {"layout",
         [](const fs::path &p, const fs::path &) {
             return SaveLayoutFile(q(p), LogoLayout{}) == SaveLayoutOutcome::Saved;
         }},
        {"work file",
         [](const fs::path &p, const fs::path &) {
             return WriteWorkImage(CreateWorkImage(), q(p)) == WorkFileOutcome::Written;
         }},
        {"header",
         [](const fs::path &p, const fs::path &dir) {
             // The work file it exports lives in a folder of its own, written beforehand.
             return ExportHeader(q(dir.parent_path() / "work" / "shoplogo.imp"), q(p)) == HeaderOutcome::Written;
         }},
        {"MFP file",
         [](const fs::path &p, const fs::path &) {
             return SaveMfpFile(p.string(), MfpParameterSet::Initial()) == MfpSaveOutcome::Saved;
         }},
    };
    return list;
}

} // namespace

TEST(HostileFiles, FailedWritesKeepThePreviousFileAndReportTheFailure)
{
    const fs::path top = testfolder::fresh("qv-hostile-write");
    fs::create_directories(top / "work");
    ASSERT_EQ(WriteWorkImage(CreateWorkImage(), q(top / "work" / "shoplogo.imp")), WorkFileOutcome::Written);

    for (const Writer &w : writers()) {
        // A full disk: the write fails part-way.
        const fs::path full = top / (std::string(w.name) + "-full");
        fs::create_directories(full);
        put(full / "file", kOld);
        const bool fullOk = testfolder::withFileSizeLimit(8, [&] { return w.write(full / "file", full); });
        EXPECT_FALSE(fullOk) << w.name << " on a full disk reported success";
        EXPECT_EQ(contentOf(full / "file"), kOld) << w.name << " on a full disk";

        // A folder (and a file in it) that belong to someone else: an ordinary user may
        // write into neither.
        const fs::path locked = top / (std::string(w.name) + "-locked");
        fs::create_directories(locked);
        put(locked / "file", kOld);
        ::chmod(locked.c_str(), 0755);
        ::chmod((locked / "file").c_str(), 0644);
        if (!testfolder::asRoot()) {
            ::chmod(locked.c_str(), 0555);
            ::chmod((locked / "file").c_str(), 0444);
        } else {
            ::chmod(top.c_str(), 0755); // "nobody" must reach the folder to try
            ::chmod((top / "work").c_str(), 0755);
            ::chmod((top / "work" / "shoplogo.imp").c_str(), 0644);
        }
        const std::optional<bool> lockedOk = testfolder::asOrdinaryUser([&] { return w.write(locked / "file", locked); });
        ASSERT_TRUE(lockedOk.has_value()) << "could not run as an ordinary user";
        EXPECT_FALSE(*lockedOk) << w.name << " in a folder of someone else's reported success";
        EXPECT_EQ(contentOf(locked / "file"), kOld) << w.name << " in a folder of someone else's";
        ::chmod(locked.c_str(), 0755);
    }
    fs::remove_all(top);
}

TEST(HostileFiles, HostileReadsAreRefusedAtOnce)
{
    const fs::path dir = testfolder::fresh("qv-hostile-read");
    put(dir / "empty", "");
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 131 + 7);
    put(dir / "binary", binary);
    {
        // Larger than any file of any kind the tool reads (sparse, so it costs no disk).
        std::ofstream huge(dir / "huge", std::ios::binary);
        huge.seekp(std::streamoff(100) << 20);
        huge.put('x');
    }
    fs::create_directories(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

    // Every reader refuses what is no regular file or too large for its kind; a reader of a
    // format with a recognisable form also refuses an empty or binary file. (The header
    // export takes a work file's bytes as they are, and an empty settings file is one
    // without settings.)
    const std::vector<std::string> always = {"huge", "folder", "fifo"};
    const std::vector<std::string> formed = {"empty", "binary", "huge", "folder", "fifo"};
    struct Reader {
        const char *name;
        const std::vector<std::string> &refuses;
        std::function<bool(const fs::path &)> read; // true: the content was taken
    } readers[] = {
        {"settings", formed,
         [](const fs::path &p) { return platform::readProfileString(p.string(), "PC", "COMPORT", "none", 10) != "none"; }},
        {"layout", formed,
         [](const fs::path &p) {
             LogoLayout l;
             return LoadLayoutFile(q(p), l) == LoadLayoutOutcome::Loaded;
         }},
        {"work file", always, [&](const fs::path &p) { return ExportHeader(q(p), q(dir / "out.h")) == HeaderOutcome::Written; }},
        {"background", formed,
         [](const fs::path &p) {
             QImage picture;
             return LoadBackgroundPicture(q(p), picture);
         }},
        {"MFP file", formed,
         [](const fs::path &p) {
             MfpParameterSet set = MfpParameterSet::Initial();
             return LoadMfpFile(p.string(), set) == MfpLoadOutcome::Loaded;
         }},
    };
    for (const Reader &r : readers)
        for (const std::string &kind : r.refuses) {
            fs::remove(dir / "out.h");
            const auto t0 = std::chrono::steady_clock::now();
            EXPECT_FALSE(r.read(dir / kind)) << r.name << " took a file that is " << kind;
            EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2)) << r.name << ", " << kind;
            EXPECT_FALSE(fs::exists(dir / "out.h")) << r.name << ", " << kind;
        }
    fs::remove_all(dir);
}

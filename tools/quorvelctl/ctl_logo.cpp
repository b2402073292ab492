// Logo file commands of quorvelctl: logo render, logo header. They need no vendor; fonts
// and images need a GUI application, which runs on the offscreen platform unless another
// is asked for.
#include "ctl.h"

#include "logo/logolayout.h"
#include "logo/logorender.h"
#include "logo/workfile.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/fonts.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace ctl {

namespace {

// Prints an operation's message (CP932) on standard error.
void report(const OperatorMessage &message)
{
    if (message.shown())
        std::fprintf(stderr, "quorvelctl: %s\n", platform::fromCp932(message.text).toLocal8Bit().constData());
}

QString argPath(const std::string &arg)
{
    return QFile::decodeName(QByteArray::fromStdString(arg));
}

std::unique_ptr<QGuiApplication> startGui()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quorvelctl";
    static char *argv[] = {name, nullptr};
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    platform::installFontSubstitutions();
    return app;
}

// Writes `image` as a PNG file through the same whole-file write as every other file.
bool writePng(const QImage &image, const std::string &path)
{
    QByteArray png;
    QBuffer buffer(&png);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
           platform::writeFileAtomically(path, png.toStdString());
}

// Takes "-o VALUE" / "--png VALUE" style options; the rest are positional arguments.
bool parseOptions(const std::vector<std::string> &args, size_t from,
                  const std::vector<std::pair<std::string, std::string *>> &options, std::vector<std::string> &positional)
{
    for (size_t i = from; i < args.size(); ++i) {
        bool matched = false;
        for (auto &[name, value] : options) {
            if (args[i] != name)
                continue;
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "quorvelctl: %s needs a value\n", name.c_str());
                return false;
            }
            *value = args[++i];
            matched = true;
        }
        if (matched)
            continue;
        if (args[i].size() > 1 && args[i][0] == '-') {
            std::fprintf(stderr, "quorvelctl: unknown option: %s\n", args[i].c_str());
            return false;
        }
        positional.push_back(args[i]);
    }
    return true;
}

int renderCommand(const std::vector<std::string> &args)
{
    std::string workFile = kWorkFileName, png;
    std::vector<std::string> positional;
    if (!parseOptions(args, 2, {{"-o", &workFile}, {"--png", &png}}, positional) || positional.size() != 1) {
        std::fprintf(stderr, "usage: quorvelctl logo render LAYOUT.slp [-o WORKFILE] [--png FILE]\n");
        return kUsage;
    }
    const auto app = startGui();
    const QString layoutPath = argPath(positional[0]);
    LogoLayout layout;
    const LoadLayoutOutcome loaded = LoadLayoutFile(layoutPath, layout);
    if (loaded != LoadLayoutOutcome::Loaded) {
        report(MessageFor(loaded));
        return kFailure;
    }
    // The background is looked up beside the layout file; one that cannot be loaded leaves
    // the built-in background, as in the logo dialog.
    QImage background = DefaultBackground();
    if (!layout.backgroundName.empty()) {
        const QString bgPath = QFileInfo(layoutPath).dir().filePath(platform::fromCp932(layout.backgroundName));
        if (!LoadBackgroundPicture(bgPath, background))
            std::fprintf(stderr, "quorvelctl: cannot load the background %s; using the built-in one\n",
                         QFile::encodeName(bgPath).constData());
    }
    QImage work = CreateWorkImage();
    RenderLogo(work, background, layout.layers);

    QString written;
    const WorkFileOutcome outcome = WriteWorkImage(work, argPath(workFile), &written);
    if (outcome != WorkFileOutcome::Written) {
        report(MessageFor(outcome));
        return kFailure;
    }
    std::printf("%s\n", QFile::encodeName(written).constData());
    if (!png.empty() && !writePng(work, png)) {
        std::fprintf(stderr, "quorvelctl: cannot write %s\n", png.c_str());
        return kFailure;
    }
    return kSuccess;
}

int headerCommand(const std::vector<std::string> &args)
{
    std::string header = "Shop.H";
    std::vector<std::string> positional;
    if (!parseOptions(args, 2, {{"-o", &header}}, positional) || positional.size() != 1) {
        std::fprintf(stderr, "usage: quorvelctl logo header WORKFILE [-o FILE.H]\n");
        return kUsage;
    }
    const HeaderOutcome outcome = ExportHeader(argPath(positional[0]), argPath(header));
    if (outcome != HeaderOutcome::Written) {
        report(MessageFor(outcome));
        return kFailure;
    }
    return kSuccess;
}

} // namespace

const char *logoFileCommandsHelp()
{
    return "  logo render LAYOUT.slp [-o WORKFILE] [--png FILE]\n"
           "                                     render a layout file (its background picture is\n"
           "                                     looked up beside it) into a work image file\n"
           "                                     (default shoplogo.imp) and optionally a PNG;\n"
           "                                     prints the work file's path\n"
           "  logo header WORKFILE [-o FILE.H]   write a work image file as a C header (default Shop.H)\n";
}

int runLogoFileCommand(const std::vector<std::string> &args)
{
    if (args.size() >= 2 && args[1] == "render")
        return renderCommand(args);
    if (args.size() >= 2 && args[1] == "header")
        return headerCommand(args);
    std::fprintf(stderr, "quorvelctl: unknown logo command (see --help)\n");
    return kUsage;
}

} // namespace ctl

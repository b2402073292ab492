#include "platform/ui/filedialog.h"

#include "platform/codepage.h"
#include "platform/curdir.h"
#include "platform/pathsplit.h"
#include "platform/ui/dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QStyle>

#include <climits>

namespace platform {

namespace {

RealFileDialogs g_real;
FileDialogService *g_service = nullptr;

std::vector<std::string> splitBars(const std::string &s)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t bar = s.find('|', pos); // '|' (0x7C) is a possible trail byte in CP932,
        // but only inside a description, which ends at the next bar anyway
        if (bar == std::string::npos) {
            parts.push_back(s.substr(pos));
            return parts;
        }
        parts.push_back(s.substr(pos, bar - pos));
        pos = bar + 1;
    }
}

std::string absolutePath(const std::string &path)
{
    if (isAbsolutePath(path))
        return path;
    std::string cwd;
    if (!currentDirectory(cwd))
        return path;
    const bool endsInSeparator = lastPathSeparator(cwd, kPathSeparators) + 1 == cwd.size();
    return cwd + (endsInSeparator ? "" : std::string(1, kPathSeparators.front())) + path;
}

// Icons and type names for the file dialog from what the directory entry and its name
// tell (drive, folder, file, link, the name's suffix), never from the file's content.
// Qt's own provider sniffs the first bytes of every file it does not recognise by name, on
// the user-interface thread, to pick an icon and a type; a file that never answers a
// reader (/proc/kmsg, a file on a stalled network mount) then stops the tool for good.
// The type names are Qt's own texts of the file dialog, so they read in Japanese with Qt's
// translations (installQtTranslations()).
class EntryIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo &info) const override
    {
        // QFileInfo answers from stat() and lstat(), which do not wait on a FIFO or device.
        if (info.isRoot())
            return icon(Drive);
        const bool link = info.isSymLink();
        if (info.isDir())
            return link ? styleIcon(QStyle::SP_DirLinkIcon, Folder) : icon(Folder);
        if (link)
            return styleIcon(QStyle::SP_FileLinkIcon, File);
        if (info.isFile()) {
            // By name alone: mimeTypesForFileName() matches the name's patterns and never
            // opens the file.
            const QList<QMimeType> types = m_mimeTypes.mimeTypesForFileName(info.fileName());
            if (!types.isEmpty()) {
                QIcon byName =
                    QIcon::fromTheme(types.first().iconName(), QIcon::fromTheme(types.first().genericIconName()));
                if (!byName.isNull())
                    return byName;
            }
        }
        return icon(File);
    }

    QString type(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return QCoreApplication::translate("QFileDialog", "Drive");
        if (info.isDir())
            return QCoreApplication::translate("QFileDialog", "Folder", "All other platforms");
        if (info.isFile()) {
            const QString suffix = info.suffix();
            if (suffix.isEmpty())
                return QCoreApplication::translate("QFileDialog", "File");
            return QCoreApplication::translate("QFileDialog", "%1 File",
                                               "%1 is a file name suffix, for example txt")
                .arg(suffix);
        }
        if (info.isSymLink()) // to a FIFO, a device, a socket, or to nothing
            return QCoreApplication::translate("QFileDialog", "Shortcut", "All other platforms");
        return QCoreApplication::translate("QFileDialog", "Unknown");
    }

private:
    QIcon styleIcon(QStyle::StandardPixmap pixmap, IconType fallback) const
    {
        const QIcon i = QApplication::style() ? QApplication::style()->standardIcon(pixmap) : QIcon();
        return i.isNull() ? icon(fallback) : i;
    }

    QMimeDatabase m_mimeTypes;
};

} // namespace

std::vector<std::string> qtNameFilters(const std::string &filter)
{
    std::vector<std::string> out;
    if (filter.find('|') == std::string::npos) {
        if (!filter.empty())
            out.push_back(filter);
        return out;
    }
    const std::vector<std::string> parts = splitBars(filter);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string &desc = parts[i];
        std::string patterns = parts[i + 1];
        if (desc.empty() && patterns.empty())
            break; // "||" ends the list
        for (char &c : patterns)
            if (c == ';')
                c = ' ';
        // Qt takes the patterns from the last parentheses of the entry.
        const std::string shown = "(" + patterns + ")";
        if (desc.size() >= shown.size() && desc.compare(desc.size() - shown.size(), shown.size(), shown) == 0)
            out.push_back(desc);
        else
            out.push_back(desc + (desc.empty() ? "" : " ") + shown);
    }
    return out;
}

std::optional<FileDialogResult> runFileDialog(const FileDialogRequest &request)
{
    FileDialogService &s = g_service ? *g_service : g_real;
    std::optional<std::string> chosen = s.choose(request);
    if (!chosen || chosen->empty())
        return std::nullopt;
    FileDialogResult result;
    result.path = absolutePath(*chosen);
    const std::size_t slash = result.path.rfind('/');
    result.fileName = result.path.substr(slash + 1);
    result.fileNameText = toCp932(QFile::decodeName(result.fileName.c_str()));
    const std::string folder = slash == 0 ? "/" : result.path.substr(0, slash);
    setCurrentDirectory(folder);
    return result;
}

FileDialogService *setFileDialogService(FileDialogService *service)
{
    FileDialogService *old = g_service;
    g_service = service;
    return old;
}

std::optional<std::string> RealFileDialogs::choose(const FileDialogRequest &request)
{
    // The provider outlives the dialog, which does not own it. It is installed before
    // anything else is asked of the dialog: the dialog starts listing its first folder (the
    // current directory) on construction, but reads the listing's icons and types only when
    // its events run, after this.
    EntryIconProvider icons;
    QFileDialog dlg(ownerWindow());
    dlg.setIconProvider(&icons);
    dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setDirectory(QDir::currentPath());
    QStringList filters;
    for (const std::string &f : qtNameFilters(request.filter))
        filters << fromCp932(f);
    if (!filters.isEmpty())
        dlg.setNameFilters(filters);
    if (!request.defaultExtension.empty())
        dlg.setDefaultSuffix(fromCp932(request.defaultExtension));
    if (!request.initialName.empty())
        dlg.selectFile(fromCp932(request.initialName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dlg.selectedFiles().first()).toStdString();
}

std::optional<std::string> ScriptedFileDialogs::choose(const FileDialogRequest &request)
{
    m_requests.push_back(request);
    if (m_script.empty())
        return std::nullopt;
    std::optional<std::string> r = std::move(m_script.front());
    m_script.pop_front();
    return r;
}

} // namespace platform

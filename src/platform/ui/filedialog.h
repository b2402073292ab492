#pragma once
// File dialogs. runFileDialog() asks the installed service for a file and, when one is
// chosen, makes its folder the process's current directory (as the platform's dialogs
// do), so that callers may then address the file by its name alone. Tests install
// ScriptedFileDialogs, which records each request and answers from a script.
#include "platform/curdir.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct FileDialogRequest {
    bool save = false; // save dialog; otherwise an open dialog
    std::string initialName; // CP932, e.g. "default.slp"
    std::string defaultExtension; // without the dot, e.g. "slp"; added to a typed name without one
    // Filter in the platform's form: pairs "description|pattern" separated by '|', ended
    // by "||", e.g. "店名ロゴファイル形式 (*.slp)|*.slp||" (CP932). Several patterns in
    // one entry are separated by ';'. A text without '|' is one bare pattern ("*.h").
    std::string filter;
};

struct FileDialogResult {
    // Paths are file-system bytes (UTF-8 here), ready for open() and friends.
    std::string path; // the chosen file's full path
    std::string fileName; // the chosen file's name without its folder
    std::string fileNameText; // the same name as CP932 text, for captions and files
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // Returns the chosen file's full path, or nothing when the operator cancels.
    virtual std::optional<std::string> choose(const FileDialogRequest &request) = 0;
};

// Shows a file dialog. On a choice, the current directory moves to the chosen file's
// folder. The dialog itself neither asks before overwriting nor insists that the file
// exist: callers decide that.
std::optional<FileDialogResult> runFileDialog(const FileDialogRequest &request);

// Installs `service` (not owned); nullptr restores the real dialogs. Returns the old one.
FileDialogService *setFileDialogService(FileDialogService *service);

// The filter as Qt's name filters: "description (patterns)" per entry.
std::vector<std::string> qtNameFilters(const std::string &filter);

class RealFileDialogs : public FileDialogService {
public:
    std::optional<std::string> choose(const FileDialogRequest &request) override;
};

// Test double. Each answer is a path (relative paths are taken from the current
// directory) or nothing for cancel; with the script empty it cancels.
class ScriptedFileDialogs : public FileDialogService {
public:
    ScriptedFileDialogs() { m_previous = setFileDialogService(this); }
    ~ScriptedFileDialogs() override { setFileDialogService(m_previous); }
    ScriptedFileDialogs(const ScriptedFileDialogs &) = delete;
    ScriptedFileDialogs &operator=(const ScriptedFileDialogs &) = delete;

    std::optional<std::string> choose(const FileDialogRequest &request) override;

    void answer(std::optional<std::string> path) { m_script.push_back(std::move(path)); }
    const std::vector<FileDialogRequest> &requests() const { return m_requests; }

private:
    FileDialogService *m_previous = nullptr;
    std::vector<FileDialogRequest> m_requests;
    std::deque<std::optional<std::string>> m_script;
};

// currentDirectory() and setCurrentDirectory() are in platform/curdir.h.

} // namespace platform

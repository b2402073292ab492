#pragma once
// Single-instance guard: one running process per name. The guard is an exclusive lock
// (flock) on the file "<name>.lock" in $XDG_RUNTIME_DIR (or, when that is not set, on
// "<name>-<uid>.lock" in the temporary folder). The operating system drops the lock when
// the process ends in any way, crash and kill included, so a left-over file never blocks
// the next start. The holder writes its process id into the file, which helps a person
// (or a test) see who holds it.
#include <string>

namespace platform {

class InstanceGuard {
public:
    enum class Result {
        Acquired, // this process now holds the name
        AlreadyRunning, // another process holds it
        Failed, // the guard could not be created at all
    };

    InstanceGuard() = default;
    ~InstanceGuard(); // releases the name
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    Result acquire(const std::string &name);
    void release();
    bool held() const { return m_fd >= 0 && m_held; }

    // The lock file used for `name` (depends on the environment at the time of the call).
    static std::string lockFilePath(const std::string &name);

private:
    int m_fd = -1;
    bool m_held = false;
};

} // namespace platform

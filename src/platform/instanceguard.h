#pragma once
// Single-instance guard: one running process per name. The guard is an exclusive lock
// (flock) on the file "<name>.lock" in $XDG_RUNTIME_DIR (or, when that is not set, on
// "<name>-<uid>.lock" in the temporary folder). The operating system drops the lock when
// the process ends in any way, crash and kill included, so a left-over file never blocks
// the next start. The holder writes its process id into the file, which helps a person
// (or a test) see who holds it.
//
// On Windows the guard is a named mutex of the user's session (CreateMutexW with the
// name): the first process creates it, a later one finds it already there
// (ERROR_ALREADY_EXISTS); the system drops it with the last handle, when its holder ends.
// One file per platform: instanceguard_posix.cpp, instanceguard_win.cpp.
#include <cstdint>
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
    bool held() const { return m_handle != kNone && m_held; }

    // The lock file used for `name` (depends on the environment at the time of the call);
    // on Windows the mutex's name.
    static std::string lockFilePath(const std::string &name);

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t m_handle = kNone; // the lock file's descriptor, or the mutex's handle
    bool m_held = false;
};

} // namespace platform

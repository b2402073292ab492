#include "platform/instanceguard.h"

#include "platform/cp932.h"

#include <windows.h>

namespace platform {

InstanceGuard::~InstanceGuard()
{
    release();
}

std::string InstanceGuard::lockFilePath(const std::string &name)
{
    return name;
}

InstanceGuard::Result InstanceGuard::acquire(const std::string &name)
{
    release();
    // A backslash would name another namespace of the system's objects.
    if (name.empty() || name.find('\\') != std::string::npos)
        return Result::Failed;
    const std::wstring wide = widePathFromCp932(name);
    if (wide.empty())
        return Result::Failed;
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wide.c_str());
    if (!mutex)
        return Result::Failed;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another process (or another guard of this one) made it and still holds it.
        ::CloseHandle(mutex);
        return Result::AlreadyRunning;
    }
    m_handle = reinterpret_cast<std::intptr_t>(mutex);
    m_held = true;
    return Result::Acquired;
}

void InstanceGuard::release()
{
    if (m_handle != kNone)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = kNone;
    m_held = false;
}

} // namespace platform

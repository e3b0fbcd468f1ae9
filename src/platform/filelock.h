#pragma once

#include "result.h"

#include <QString>

#include <memory>

namespace tandrel {

// An advisory lock on a file that other processes honour too: any number of
// shared holders or one exclusive holder. Released when the object goes, and
// by the system when the process dies, so a crash never leaves it stuck.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Tries until waitMs have passed; the failure says whether the file is
    // held by someone else (busy) or could not be made at all.
    static Result<std::shared_ptr<FileLock>> acquire(const QString& path, Mode mode, int waitMs,
                                                     bool* busy = nullptr);

private:
    explicit FileLock(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace tandrel

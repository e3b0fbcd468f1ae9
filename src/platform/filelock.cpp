#include "filelock.h"

#include "textfiles.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tandrel {

FileLock::~FileLock() {
    ::close(m_fd); // drops the lock
}

Result<std::shared_ptr<FileLock>> FileLock::acquire(const QString& path, Mode mode, int waitMs,
                                                    bool* busy) {
    using R = Result<std::shared_ptr<FileLock>>;
    if (busy)
        *busy = false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        return R::failure(
            QStringLiteral("The lock file \"%1\" could not be made: %2.")
                .arg(displayPath(path),
                     writeFailureReason(path, 0, QString::fromLocal8Bit(std::strerror(error)),
                                        error)));
    }
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const QDeadlineTimer deadline(waitMs);
    while (::flock(fd, operation) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK && busy)
                *busy = true;
            return R::failure(
                QStringLiteral("The lock file \"%1\" could not be locked: %2.")
                    .arg(displayPath(path), QString::fromLocal8Bit(std::strerror(error))));
        }
        QThread::msleep(50);
    }
    return std::shared_ptr<FileLock>(new FileLock(fd));
}

} // namespace tandrel

#include "app/instance_lock.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrel {

namespace {

// The pid the holder wrote into the file; -1 when it is not there (yet).
qint64 readPid(int fd)
{
    char buffer[32] = {};
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0)
        return -1;
    bool ok = false;
    const qint64 pid = QByteArray(buffer, n).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : -1;
}

void writePid(int fd)
{
    const QByteArray text = QByteArray::number(qint64(::getpid())) + '\n';
    // Only the message of a refused second program reads it; a failed write costs just the pid there.
    if (::ftruncate(fd, 0) != 0)
        return;
    [[maybe_unused]] const ssize_t n = ::pwrite(fd, text.constData(), size_t(text.size()), 0);
}

} // namespace

InstanceLock::InstanceLock(const QString &folder) : m_folder(QDir::cleanPath(folder)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::acquire()
{
    if (m_fd >= 0)
        return true;
    const QString path = m_folder + QStringLiteral("/kestrel.lock");
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_refusal = QStringLiteral("kestrel: cannot open ") + path + QStringLiteral(": ") +
                    QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            m_holderPid = readPid(fd);
            m_refusal = QStringLiteral("kestrel: another Kestrel is already running on ") + m_folder;
            if (m_holderPid > 0)
                m_refusal += QStringLiteral(" (pid ") + QString::number(m_holderPid) + QLatin1Char(')');
        } else {
            m_refusal = QStringLiteral("kestrel: cannot lock ") + path + QStringLiteral(": ") +
                        QString::fromLocal8Bit(std::strerror(error));
        }
        ::close(fd);
        return false;
    }
    writePid(fd);
    m_fd = fd;
    m_refusal.clear();
    m_holderPid = -1;
    return true;
}

} // namespace kestrel

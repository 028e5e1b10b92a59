#pragma once

#include <QString>

namespace kestrel {

// Keeps a second Kestrel off a program folder that one is already using: two programs
// on one folder would overwrite each other's lists and fetch everything twice. The lock
// is an exclusive flock on "kestrel.lock" in the folder, held while the object lives.
// The kernel drops it when the process ends, however it ends, so a crashed run leaves
// nothing that blocks the next one. The file itself stays (removing it would let two
// programs lock two different files of the same name).
class InstanceLock {
public:
    explicit InstanceLock(const QString &folder);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when this process now holds the folder; otherwise refusal() says why.
    bool acquire();
    // One line for the user, starting with "kestrel: ", without a line end.
    QString refusal() const { return m_refusal; }
    // The process holding the lock when acquire() failed; -1 when not known.
    qint64 holderPid() const { return m_holderPid; }

private:
    QString m_folder;
    int m_fd = -1;
    qint64 m_holderPid = -1;
    QString m_refusal;
};

} // namespace kestrel

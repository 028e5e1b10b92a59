#pragma once

#include "support/wait.h"

#include <QFile>
#include <QProcess>

#include <csignal>

namespace kestrel::test {

// One run of the real executable, under the offscreen platform. Its standard output
// (with standard error when merged) is collected while the test serves events, since
// the news servers the tests start live in the test's own process.
class Program {
public:
    explicit Program(const QStringList &args, bool mergeErrors = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_p.setProcessEnvironment(env);
        if (mergeErrors)
            m_p.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_p, &QProcess::readyReadStandardOutput,
                         [this] { output += m_p.readAllStandardOutput(); });
        m_p.start(QStringLiteral(KESTREL_EXE), args);
        m_p.waitForStarted(10000);
    }
    ~Program()
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.kill();
            m_p.waitForFinished(5000);
        }
    }

    bool waitForOutput(const QByteArray &text, int times = 1, int timeoutMs = 15000)
    {
        return waitUntil([&] { return output.count(text) >= times; }, timeoutMs);
    }
    bool waitForEnd(int timeoutMs = 15000)
    {
        const bool ended = waitUntil([&] { return m_p.state() == QProcess::NotRunning; }, timeoutMs);
        output += m_p.readAllStandardOutput();
        return ended;
    }
    // True once main() has begun and holds SIGTERM back or catches it, so that a
    // SIGTERM no longer kills the program outright.
    bool handlesSigterm() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if ((line.startsWith("SigBlk:") || line.startsWith("SigCgt:")) &&
                ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1))
                return true;
        }
        return false;
    }
    void signal(int number) { ::kill(pid_t(m_p.processId()), number); }
    bool running() const { return m_p.state() == QProcess::Running; }
    qint64 pid() const { return m_p.processId(); }
    int exitCode() const { return m_p.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_p.exitStatus(); }
    QByteArray errors() { return m_p.readAllStandardError(); }

    QByteArray output;

private:
    QProcess m_p;
};

} // namespace kestrel::test

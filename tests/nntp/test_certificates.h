#pragma once

// Certificates made by the openssl program while the tests run, for servers that speak
// NNTPS.
#include "newsd/news_server.h"
#include "newsd/tls_listener.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel::test {

// Certificates and keys written into a temporary folder by the openssl program.
class CertificateMaker {
public:
    bool usable() const { return m_dir.isValid() && !QStandardPaths::findExecutable("openssl").isEmpty(); }

    // A self-signed certificate for `name` (DNS) and 127.0.0.1.
    bool selfSigned(const QString &base, const QString &name)
    {
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=" + name, "-addext",
                    "subjectAltName=DNS:" + name + ",IP:127.0.0.1", "-keyout", path(base + ".key"), "-out",
                    path(base + ".pem")});
    }

    // A certificate authority, and a server certificate it signed for the names `san`.
    bool authority()
    {
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=Kestrel Test CA", "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                    "-keyout", path("ca.key"), "-out", path("ca.pem")});
    }
    bool signedBy(const QString &base, const QString &cn, const QString &san)
    {
        QFile ext(path(base + ".ext"));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write(("subjectAltName=" + san + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
                      .toUtf8());
        ext.close();
        return run({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-subj", "/CN=" + cn, "-keyout", path(base + ".key"), "-out", path(base + ".csr")}) &&
               run({"x509", "-req", "-in", path(base + ".csr"), "-CA", path("ca.pem"), "-CAkey",
                    path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", path(base + ".ext"), "-out",
                    path(base + ".pem")});
    }

    QSslCertificate certificate(const QString &base) const
    {
        QFile f(path(base + ".pem"));
        return f.open(QIODevice::ReadOnly) ? QSslCertificate(f.readAll(), QSsl::Pem) : QSslCertificate();
    }

    // Makes the server present certificate `base`.
    bool serve(newsd::NewsServer &server, const QString &base) const
    {
        QSslCertificate cert;
        QSslKey key;
        const QString error = newsd::loadTlsFiles(path(base + ".pem"), path(base + ".key"), cert, key);
        EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
        server.setTls(cert, key);
        return error.isEmpty();
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    bool run(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("openssl"), args);
        const bool done = p.waitForFinished(20000);
        if (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << "openssl " << qPrintable(args.join(' ')) << ": "
                          << p.readAllStandardError().constData();
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
};

// Skips the test when there is no TLS backend or no openssl program to make certificates.
struct CertificateTest : ::testing::Test {
    CertificateMaker certs;

    void SetUp() override
    {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS backend";
        if (!certs.usable())
            GTEST_SKIP() << "no openssl program";
    }
};

} // namespace kestrel::test

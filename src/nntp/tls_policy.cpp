#include "nntp/tls_policy.h"

#include "base/context.h"
#include "base/ini_file.h"

#include <QCryptographicHash>

namespace kestrel {

namespace {

// Errors that only say no known authority vouches for the certificate. These, and only
// these, a matching pin may overrule; a wrong name or an expired certificate never.
bool isTrustError(QSslError::SslError error)
{
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return true;
    default:
        return false;
    }
}

} // namespace

QString pinMismatch(const QString &pinned, const QString &seen)
{
    return QStringLiteral("TLS: The server's certificate is not the pinned one (pinned SHA-256 ") + pinned +
           QStringLiteral(", server's SHA-256 ") + seen + QStringLiteral(")");
}

TlsPolicy tlsPolicy(Context &ctx)
{
    TlsPolicy p;
    p.enabled = ctx.settings.checked(u"chkSSL");
    p.allowSelfSigned = ctx.settings.checked(u"chkSSLAllowSelfSigned");
    p.pin = ctx.settings.text(u"SSL_Fingerprint").trimmed().toLower();
    p.recordPin = [&ctx](const QString &fingerprint) {
        const QString current = ctx.settings.text(u"SSL_Fingerprint").trimmed().toLower();
        if (!current.isEmpty())
            return current;
        ctx.settings.setText(u"SSL_Fingerprint", fingerprint);
        IniFile ini(ctx.state.file(QStringLiteral("KESTREL.INI")));
        ini.writeText("Options", "SSL_Fingerprint", fingerprint);
        if (!ini.save())
            ctx.writeLog(QStringLiteral("TLS: could not save the pinned certificate to KESTREL.INI"), true);
        ctx.writeLog(QStringLiteral("TLS: server certificate pinned, SHA-256 ") + fingerprint, true);
        return fingerprint;
    };
    return p;
}

QString defaultPortText(const SettingsStore &settings)
{
    return settings.checked(u"chkSSL") ? QStringLiteral("563") : QStringLiteral("119");
}

QString certificateFingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
}

std::optional<QString> tlsRefusal(const TlsPolicy &policy, const QSslCertificate &peer,
                                  const QList<QSslError> &errors)
{
    const bool pinning = policy.allowSelfSigned;
    if (pinning && !policy.pin.isEmpty()) {
        const QString seen = certificateFingerprint(peer);
        if (peer.isNull() || seen != policy.pin)
            return pinMismatch(policy.pin, peer.isNull() ? QStringLiteral("(none)") : seen);
    }
    QStringList reasons;
    for (const QSslError &e : errors) {
        if (pinning && isTrustError(e.error()))
            continue;
        if (!reasons.contains(e.errorString()))
            reasons.append(e.errorString());
    }
    if (reasons.isEmpty())
        return std::nullopt;
    return QStringLiteral("TLS: ") + reasons.join(QStringLiteral("; "));
}

} // namespace kestrel

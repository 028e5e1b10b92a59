#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

#include <functional>
#include <optional>

namespace kestrel {

class Context;
class SettingsStore;

// How a connection speaks to the server: plain NNTP, or NNTPS verified against the
// system's trust store, optionally with the server's own certificate pinned.
struct TlsPolicy {
    bool enabled = false;
    // The certificate seen first is pinned and from then on the only one accepted; a
    // pinned certificate passes even when no authority vouches for it.
    bool allowSelfSigned = false;
    QString pin; // SHA-256 of the pinned certificate in hex; empty: nothing pinned yet
    // Records the first certificate's fingerprint as the pin and returns the pin now in
    // force: another connection may have pinned a certificate since this policy was read,
    // and then that one stays.
    std::function<QString(const QString &fingerprint)> recordPin;
};

// The policy of the login settings chkSSL, chkSSLAllowSelfSigned and SSL_Fingerprint.
// A new pin is stored in the settings and written to KESTREL.INI at once, so that a
// crash cannot forget it, and logged. A pin is consulted only with chkSSLAllowSelfSigned.
TlsPolicy tlsPolicy(Context &ctx);

// The port an empty port box stands for: "563" with TLS, "119" without.
QString defaultPortText(const SettingsStore &settings);

// SHA-256 of the certificate's DER form, lower-case hex.
QString certificateFingerprint(const QSslCertificate &certificate);

// The refusal of a certificate that is not the pinned one, naming both fingerprints.
QString pinMismatch(const QString &pinned, const QString &seen);

// Why the handshake must fail, or nothing when the certificate is acceptable. `errors`
// are the verification errors the TLS layer reported (none for a trusted certificate).
std::optional<QString> tlsRefusal(const TlsPolicy &policy, const QSslCertificate &peer,
                                  const QList<QSslError> &errors);

} // namespace kestrel

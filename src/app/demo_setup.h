#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace kestrel {

namespace newsd {
class NewsServer;
class SampleStore;
} // namespace newsd
class Engine;

// A sample news server on a free loopback port and a fresh program folder that points
// at it: what --demo runs one circle against.
class DemoSetup {
public:
    DemoSetup();
    ~DemoSetup();

    // False, with the reason in error(), when the server or the folder cannot be made.
    bool start();
    QString error() const { return m_error; }
    QString programFolder() const { return m_home; }
    QString pictureFolder() const { return m_home + QStringLiteral("/pictures/"); }

    // Points the engine's settings and favourites at the sample server; call after
    // start-up has loaded them.
    void configure(Engine &engine) const;

    // Where the sample server listens and what it posts, once started.
    quint16 port() const;
    static QByteArray group();
    const newsd::SampleStore *samples() const { return m_samples.get(); }

private:
    std::shared_ptr<newsd::SampleStore> m_samples;
    std::unique_ptr<newsd::NewsServer> m_server;
    QString m_home;
    QString m_error;
};

} // namespace kestrel

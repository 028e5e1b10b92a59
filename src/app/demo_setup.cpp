#include "app/demo_setup.h"

#include "engine/engine.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/favourites.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace kestrel {

namespace {
const QByteArray kDemoGroup = "alt.binaries.pictures.kestrel.demo";
}

DemoSetup::DemoSetup() = default;
DemoSetup::~DemoSetup() = default;

bool DemoSetup::start()
{
    // The folder outlives the run on purpose: it holds the pictures the demo fetched.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kestrel-demo-XXXXXX"));
    if (!dir.isValid()) {
        m_error = QStringLiteral("cannot create a folder for the demo: ") + dir.errorString();
        return false;
    }
    dir.setAutoRemove(false);
    m_home = dir.path();
    if (!QDir().mkpath(pictureFolder())) {
        m_error = QStringLiteral("cannot create ") + pictureFolder();
        return false;
    }
    m_samples = std::make_shared<newsd::SampleStore>(
        QList<newsd::SampleGroup>{newsd::SampleGroup{kDemoGroup, 1, 60, 0}}, 2026);
    // Most pictures posted today come in several parts; the demo shows them assembled.
    m_samples->setMultiPart(true);
    m_server = std::make_unique<newsd::NewsServer>(m_samples);
    if (!m_server->listen()) {
        m_error = QStringLiteral("cannot start the sample news server on 127.0.0.1");
        return false;
    }
    return true;
}

quint16 DemoSetup::port() const
{
    return m_server ? m_server->port() : 0;
}

QByteArray DemoSetup::group()
{
    return kDemoGroup;
}

void DemoSetup::configure(Engine &engine) const
{
    SettingsStore &s = engine.context().settings;
    s.setText(u"txtHost", QStringLiteral("127.0.0.1"));
    s.setText(u"txtPort", QString::number(m_server->port()));
    s.setText(u"lblDownloadPath", pictureFolder());
    s.setChecked(u"chkXOVER", true);
    s.setChecked(u"chkAutodownload", true);
    s.setChecked(u"chkReScan", false);
    s.setChecked(u"chkEnableLogging", true);
    s.setChecked(u"chkMultiPart", true);
    engine.favourites().addFavouriteGroup(kDemoGroup);
}

} // namespace kestrel

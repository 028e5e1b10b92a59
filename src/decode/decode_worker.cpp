#include "decode/decode_worker.h"

namespace kestrel {

namespace {

// Smaller articles are prepared faster than anyone could wait for them.
constexpr qint64 kReportAbove = 1 << 20;

} // namespace

DecodeWorker::DecodeWorker(Prepared prepared, Working working, QObject *parent)
    : QObject(parent), m_prepared(std::move(prepared)), m_working(std::move(working)),
      m_inThread(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("decode"));
    m_inThread->moveToThread(&m_thread);
    m_thread.start();
}

DecodeWorker::~DecodeWorker()
{
    discardAll();
    m_thread.quit();
    m_thread.wait();
}

void DecodeWorker::discardAll()
{
    ++m_generation;
}

void DecodeWorker::submit(QByteArray article, bool hasHeaders)
{
    auto bytes = std::make_shared<QByteArray>(std::move(article));
    const quint64 generation = m_generation.load();
    QMetaObject::invokeMethod(
        m_inThread.get(), [this, bytes, hasHeaders, generation] { prepare(bytes, hasHeaders, generation); },
        Qt::QueuedConnection);
}

// On the worker's thread. Events posted to one object are delivered in the order
// posted, so the results come back in the order the articles went in.
void DecodeWorker::prepare(const std::shared_ptr<QByteArray> &article, bool hasHeaders, quint64 generation)
{
    if (!current(generation))
        return;
    const auto progress = [this, generation](qint64 index, qint64 total) {
        if (index > 0 && total > kReportAbove)
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (current(generation) && m_working)
                        m_working();
                },
                Qt::QueuedConnection);
    };
    auto result =
        std::make_shared<PreparedArticle>(prepareArticle(std::move(*article), hasHeaders, progress));
    QMetaObject::invokeMethod(
        this,
        [this, result, generation] {
            if (current(generation))
                m_prepared(*result);
        },
        Qt::QueuedConnection);
}

} // namespace kestrel

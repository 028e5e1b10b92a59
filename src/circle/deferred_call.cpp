#include "circle/deferred_call.h"

namespace kestrel {

void DeferredCall::request()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_pending = false;
            m_fn();
        },
        Qt::QueuedConnection);
}

} // namespace kestrel

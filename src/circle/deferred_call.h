#pragma once

#include <QObject>

#include <functional>

namespace kestrel {

// Calls a function once the running handler has returned, from the event loop; several
// requests before then make one call. A request still queued dies with this object.
class DeferredCall {
public:
    explicit DeferredCall(std::function<void()> fn) : m_fn(std::move(fn)) {}

    void request();

private:
    std::function<void()> m_fn;
    QObject m_context;
    bool m_pending = false;
};

} // namespace kestrel

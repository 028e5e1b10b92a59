#pragma once

#include <functional>

namespace kestrel::test {

// Runs the event loop until pred() holds or timeoutMs pass; returns pred().
// Only tests may spin the loop like this.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000);

} // namespace kestrel::test

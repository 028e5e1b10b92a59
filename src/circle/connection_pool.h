#pragma once

#include "circle/session_connection.h"

#include <array>
#include <memory>
#include <vector>

namespace kestrel {

// The circle's connections by role: one for the scan, and for now one for the
// download (the role keeps a list, so that it can hold more later).
class ConnectionPool {
public:
    ConnectionPool();

    SessionConnection &scan() { return first(ConnectionRole::Scan); }
    SessionConnection &download() { return first(ConnectionRole::Download); }
    SessionConnection &first(ConnectionRole role) { return *ofRole(role).front(); }

    // Every connection of every role, scan first.
    std::vector<SessionConnection *> all();

private:
    std::vector<std::unique_ptr<SessionConnection>> &ofRole(ConnectionRole role);

    // Scan and Download; the group list has a connection of its own elsewhere.
    std::array<std::vector<std::unique_ptr<SessionConnection>>, 2> m_byRole;
};

} // namespace kestrel

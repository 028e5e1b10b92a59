#pragma once

#include "circle/session_connection.h"

#include <array>
#include <memory>
#include <vector>

namespace kestrel {

// The circle's connections by role: one for the scan, and as many for the download as
// a run may use (sldConnections); a run opens only the ones it uses.
class ConnectionPool {
public:
    static constexpr int kDownloadConnections = 16;

    ConnectionPool();

    SessionConnection &scan() { return first(ConnectionRole::Scan); }
    SessionConnection &download() { return first(ConnectionRole::Download); }
    SessionConnection &first(ConnectionRole role) { return *ofRole(role).front(); }
    // The download connections, the first one first.
    std::vector<SessionConnection *> downloads();

    // Every connection of every role, scan first.
    std::vector<SessionConnection *> all();

private:
    std::vector<std::unique_ptr<SessionConnection>> &ofRole(ConnectionRole role);

    // Scan and Download; the group list has a connection of its own elsewhere.
    std::array<std::vector<std::unique_ptr<SessionConnection>>, 2> m_byRole;
};

} // namespace kestrel

#include "circle/connection_pool.h"

namespace kestrel {

ConnectionPool::ConnectionPool()
{
    ofRole(ConnectionRole::Scan).push_back(std::make_unique<SessionConnection>(ConnectionRole::Scan));
    for (int i = 0; i < kDownloadConnections; ++i)
        ofRole(ConnectionRole::Download)
            .push_back(std::make_unique<SessionConnection>(ConnectionRole::Download));
}

std::vector<SessionConnection *> ConnectionPool::downloads()
{
    std::vector<SessionConnection *> out;
    for (auto &c : ofRole(ConnectionRole::Download))
        out.push_back(c.get());
    return out;
}

std::vector<std::unique_ptr<SessionConnection>> &ConnectionPool::ofRole(ConnectionRole role)
{
    return m_byRole.at(size_t(role));
}

std::vector<SessionConnection *> ConnectionPool::all()
{
    std::vector<SessionConnection *> out;
    for (auto &connections : m_byRole)
        for (auto &c : connections)
            out.push_back(c.get());
    return out;
}

} // namespace kestrel

#include "circle/connection_pool.h"

namespace kestrel {

ConnectionPool::ConnectionPool()
{
    for (const ConnectionRole role : {ConnectionRole::Scan, ConnectionRole::Download})
        ofRole(role).push_back(std::make_unique<SessionConnection>(role));
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

#pragma once

namespace kestrel {

// What a connection to the news server is for. Each role keeps its own socket, so a
// download never waits behind a scan and the group list behind neither.
enum class ConnectionRole {
    Scan,      // GROUP and headers of the favourite groups
    Download,  // GROUP and the articles of the pending list
    GroupList, // LIST into HOSTGRPS.TXT
};

} // namespace kestrel

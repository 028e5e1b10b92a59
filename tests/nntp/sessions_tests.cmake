# Tests of the connections and sessions.

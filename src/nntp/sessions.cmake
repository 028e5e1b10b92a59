# Sources of the connections and sessions are added to kestrel_nntp here.

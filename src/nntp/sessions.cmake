# Sources of the connections and sessions are added to kestrel_nntp here.
target_sources(kestrel_nntp PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/circle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/connections.cpp
  ${CMAKE_CURRENT_LIST_DIR}/download_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/login.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nntp_connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tls_policy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xover_line.cpp
)
target_link_libraries(kestrel_nntp PUBLIC kestrel_scan)

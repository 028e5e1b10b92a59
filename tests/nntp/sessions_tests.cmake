# Tests of the connections and sessions.
kestrel_add_test(test_nntp_sessions
  LIBS kestrel_nntp kestrel_scan kestrel_newsd Qt6::Network Qt6::Test
  SOURCES
    scan_session_test.cpp
    download_session_test.cpp
    login_session_test.cpp
    circle_timers_test.cpp
    xover_line_test.cpp
    coalesced_replies_test.cpp
)
target_include_directories(test_nntp_sessions PRIVATE ${CMAKE_SOURCE_DIR}/tests/scan)

# NNTPS: certificates are made by the openssl program while the tests run.
kestrel_add_test(test_nntp_tls
  LIBS kestrel_nntp kestrel_scan kestrel_groups kestrel_newsd Qt6::Network Qt6::Test
  SOURCES
    tls_connection_test.cpp
)
target_include_directories(test_nntp_tls PRIVATE ${CMAKE_SOURCE_DIR}/tests/scan ${CMAKE_SOURCE_DIR}/tests/groups)
target_compile_definitions(test_nntp_tls PRIVATE NEWSD_PATH="$<TARGET_FILE:newsd>")
add_dependencies(test_nntp_tls newsd)

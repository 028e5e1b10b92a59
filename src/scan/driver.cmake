# Sources of the scan driver are added to kestrel_scan here.
target_sources(kestrel_scan PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/rescan_countdown.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_driver.cpp
)
target_link_libraries(kestrel_scan PUBLIC kestrel_nntp)

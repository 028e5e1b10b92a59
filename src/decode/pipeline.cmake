# Sources of the article capture and decode pipeline are added to kestrel_decode here.
target_sources(kestrel_decode PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/article_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/decode_pipeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/descript_ion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/download_folders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_speed.cpp
)
# The pipeline records fetched names in the no-re-download list of the scan library.
target_link_libraries(kestrel_decode PUBLIC kestrel_scan)

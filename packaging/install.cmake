# What `cmake --install` lays down: the program, its desktop entry and icons, the help
# page and the systemd user unit for running it as a service.
include(GNUInstallDirs)

install(TARGETS kestrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kestrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 64 128)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kestrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kestrel.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/help/kestrel-help.html ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The unit names the program by its installed path, so it is made at install time, when
# the prefix (`cmake --install --prefix`) is known.
install(CODE "
  set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/kestrel.service.in\"
                 \"${CMAKE_BINARY_DIR}/packaging/kestrel.service\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/packaging/kestrel.service
        DESTINATION ${CMAKE_INSTALL_DATADIR}/systemd/user)

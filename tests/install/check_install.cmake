# cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed (${rc}):\n${out}")
endif()

set(expected
  bin/kestrel
  share/applications/kestrel.desktop
  share/icons/hicolor/16x16/apps/kestrel.png
  share/icons/hicolor/32x32/apps/kestrel.png
  share/icons/hicolor/64x64/apps/kestrel.png
  share/icons/hicolor/128x128/apps/kestrel.png
  share/doc/kestrel/kestrel-help.html
  share/doc/kestrel/README.md
  share/systemd/user/kestrel.service)
foreach(f IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()

# Nothing of the build's own (static libraries, test programs, headers) is installed.
file(GLOB_RECURSE all RELATIVE "${PREFIX}" "${PREFIX}/*")
list(LENGTH all count)
list(LENGTH expected wanted)
if(NOT count EQUAL wanted)
  message(FATAL_ERROR "installed ${count} files, expected ${wanted}: ${all}")
endif()

execute_process(COMMAND "${PREFIX}/bin/kestrel" --version
                RESULT_VARIABLE rc OUTPUT_VARIABLE version ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT version MATCHES "^kestrel ")
  message(FATAL_ERROR "installed kestrel --version: ${rc} '${version}' ${err}")
endif()

file(READ "${PREFIX}/share/systemd/user/kestrel.service" unit)
if(NOT unit MATCHES "\nExecStart=${PREFIX}/bin/kestrel --headless")
  message(FATAL_ERROR "the service unit does not start the installed kestrel --headless:\n${unit}")
endif()

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} "${PREFIX}/share/applications/kestrel.desktop"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "kestrel.desktop: ${out}")
  endif()
endif()

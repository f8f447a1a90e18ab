# Installed files of the native program, where a Linux desktop finds them:
#   <bindir>/velmora-setup (stripped by `cmake --install --strip` and by CPack)
#   <datadir>/applications/<app id>.desktop
#   <datadir>/metainfo/<app id>.metainfo.xml
#   <datadir>/icons/hicolor/{16x16,...,256x256}/apps/velmora-setup.png
#   <mandir>/man1/velmora-setup.1.gz
#   <datadir>/doc/velmora-setup/{copyright,changelog.gz}
# DESTDIR and the prefix (CMAKE_INSTALL_PREFIX, or --prefix) apply as usual.

if(SETUP_INSTALL_DESKTOP_ENTRY)
  # This file again, at install time (see below): the prefix is known now.
  cmake_path(ABSOLUTE_PATH SETUP_INSTALL_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
             OUTPUT_VARIABLE exec)
  cmake_path(ABSOLUTE_PATH SETUP_INSTALL_DATADIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
             OUTPUT_VARIABLE datadir)
  string(APPEND exec "/velmora-setup")
  set(exec_path "${exec}")
  if(NOT exec MATCHES "^[A-Za-z0-9/._+-]+$")
    # Exec quoting: " ` $ \ take a backslash inside the quotes, % doubles,
    # and the file's own string escapes double every backslash.
    string(REGEX REPLACE [[(["`$\\])]] [[\\\1]] exec "${exec}")
    string(REPLACE [[\]] [[\\]] exec "${exec}")
    string(REPLACE "%" "%%" exec "${exec}")
    set(exec "\"${exec}\"")
  endif()
  file(WRITE ${SETUP_INSTALL_DESKTOP_ENTRY} "[Desktop Entry]
Type=Application
Name=Velmora Setup
Comment=Display, graphics and sound settings for Velmora
Exec=${exec}
Icon=velmora-setup
Terminal=false
Categories=Game;
Keywords=settings;display;graphics;sound;
StartupWMClass=velmora-setup
")
  file(INSTALL ${SETUP_INSTALL_DESKTOP_ENTRY} DESTINATION "${datadir}/applications")
  # install(PROGRAMS) is never stripped by CMake itself.
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND ${SETUP_INSTALL_STRIP} --remove-section=.comment --remove-section=.note
                            "$ENV{DESTDIR}${exec_path}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
  return()
endif()

include(GNUInstallDirs)
if(NOT TARGET velmora-setup)
  return()
endif()

# The program under the one name it has in the build tree too.
install(PROGRAMS $<TARGET_FILE:velmora-setup> DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/setup/res/icons/velmora-setup-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME velmora-setup.png)
endforeach()

# Man page and changelog compressed as Debian wants them (gzip -9n: no name or
# time inside, so the same file every build); built with the program.
configure_file(${CMAKE_SOURCE_DIR}/setup/res/linux/changelog.in changelog @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/setup/res/linux/metainfo.xml.in ${SETUP_APP_ID}.metainfo.xml @ONLY)
set(compressed)
foreach(file ${CMAKE_SOURCE_DIR}/setup/res/linux/velmora-setup.1 ${CMAKE_CURRENT_BINARY_DIR}/changelog)
  cmake_path(GET file FILENAME name)
  add_custom_command(OUTPUT ${name}.gz COMMAND gzip -9nc ${file} > ${name}.gz DEPENDS ${file} VERBATIM)
  list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
endforeach()
add_custom_target(setup_install_docs ALL DEPENDS ${compressed})
add_dependencies(velmora-setup setup_install_docs)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/velmora-setup.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/setup/res/linux/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora-setup)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${SETUP_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

# The desktop entry starts the program by its full path (a prefix such as
# /opt/velmora is not on PATH); `cmake --install --prefix` may change the
# prefix after configuring, so the entry is written at install time.
install(CODE "set(SETUP_INSTALL_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
set(SETUP_INSTALL_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
set(SETUP_INSTALL_STRIP [[${CMAKE_STRIP}]])
set(SETUP_INSTALL_DESKTOP_ENTRY [[${CMAKE_CURRENT_BINARY_DIR}/${SETUP_APP_ID}.desktop]])")
install(SCRIPT ${CMAKE_CURRENT_LIST_FILE})
install(CODE "unset(SETUP_INSTALL_DESKTOP_ENTRY)")

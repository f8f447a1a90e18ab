# Installed files of the native program, where a Linux desktop finds them:
#   <bindir>/velmora-setup
#   <datadir>/applications/velmora-setup.desktop
#   <datadir>/icons/hicolor/{16x16,32x32,48x48}/apps/velmora-setup.png
# DESTDIR and the prefix (CMAKE_INSTALL_PREFIX, or --prefix) apply as usual.

if(SETUP_INSTALL_DESKTOP_ENTRY)
  # This file again, at install time (see below): the prefix is known now.
  cmake_path(ABSOLUTE_PATH SETUP_INSTALL_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
             OUTPUT_VARIABLE exec)
  cmake_path(ABSOLUTE_PATH SETUP_INSTALL_DATADIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
             OUTPUT_VARIABLE datadir)
  string(APPEND exec "/velmora-setup")
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
")
  file(INSTALL ${SETUP_INSTALL_DESKTOP_ENTRY} DESTINATION "${datadir}/applications")
  return()
endif()

include(GNUInstallDirs)
if(NOT TARGET setup)
  return()
endif()

# The build keeps the short name its scripts and tests use.
install(PROGRAMS $<TARGET_FILE:setup> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME velmora-setup)

foreach(size 16 32 48)
  install(FILES ${CMAKE_SOURCE_DIR}/setup/res/icons/velmora-setup-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME velmora-setup.png)
endforeach()

# The desktop entry starts the program by its full path (a prefix such as
# /opt/velmora is not on PATH); `cmake --install --prefix` may change the
# prefix after configuring, so the entry is written at install time.
install(CODE "set(SETUP_INSTALL_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
set(SETUP_INSTALL_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
set(SETUP_INSTALL_DESKTOP_ENTRY [[${CMAKE_CURRENT_BINARY_DIR}/velmora-setup.desktop]])")
install(SCRIPT ${CMAKE_CURRENT_LIST_FILE})
install(CODE "unset(SETUP_INSTALL_DESKTOP_ENTRY)")

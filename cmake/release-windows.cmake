# The Windows program as it ships: its name, its version resource, bytes that
# do not depend on when or where it was built, and the release archive.
# Included by the top-level CMakeLists.txt for Windows builds only.

# Windows takes a 32-bit program without an execution level for an installer
# (and asks for an administrator) when its name or a version string holds
# "setup", "install", "update" or "patch"; this name holds none of them.
set(SETUP_WINDOWS_NAME velmora-config)

# The version is project(VERSION); the dialog's label (string 25) shows it too
# and may not be edited here, so a mismatch stops the build.
file(STRINGS ${CMAKE_SOURCE_DIR}/setup/res/strings.def SETUP_VERSION_LABEL REGEX "^SETUP_STRING\\(25,")
if(NOT SETUP_VERSION_LABEL STREQUAL "SETUP_STRING(25, \"ver. ${PROJECT_VERSION}\")")
  message(FATAL_ERROR "project(VERSION ${PROJECT_VERSION}) disagrees with the dialog's label: ${SETUP_VERSION_LABEL}")
endif()
# "1.05" reads as 1,5,0,0 in the binary fields; the strings keep "1.05".
set(SETUP_VERSION_FIELDS)
foreach(part MAJOR MINOR PATCH TWEAK)
  set(number "${PROJECT_VERSION_${part}}")
  if(number STREQUAL "")
    set(number 0)
  endif()
  math(EXPR number "${number}")
  list(APPEND SETUP_VERSION_FIELDS ${number})
endforeach()
list(JOIN SETUP_VERSION_FIELDS "," SETUP_VERSION_FIELDS)
# For setup.rc, which makes the strings with #.
set(SETUP_RC_DEFINITIONS SETUP_VERSION=${PROJECT_VERSION} SETUP_VERSION_FIELDS=${SETUP_VERSION_FIELDS}
    SETUP_FILE_NAME=${SETUP_WINDOWS_NAME})

# The same commit gives the same bytes: no link time stamp in the PE header,
# and no build or source folder in what the compiler writes.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=;-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")

# The release archive of the shipped (i686) build:
#   cmake --build --preset windows-x86 --target release
# Written by a script: CMake 3.25's own zip writer stores each file's access
# and change times and owner ids from the disk, so its archives differ per build.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686" AND SETUP_PROGRAM)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    set(SETUP_RELEASE_NAME velmora-${PROJECT_VERSION}-windows-i686)
    add_custom_target(release
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/release-windows-archive.py
              $<TARGET_FILE:setup> ${CMAKE_SOURCE_DIR}/cmake/release-windows-readme.txt
              ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/${SETUP_RELEASE_NAME}.zip
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      DEPENDS setup
      VERBATIM)
  else()
    message(STATUS "No Python 3: no release target")
  endif()
endif()

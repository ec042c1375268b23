# Packages of the installed components: one Debian package per component on
# Linux, one zip of everything on Windows. Included last, after every
# install() rule, so that it sees every component.
set(UPDATER_PACKAGE_CONTACT "RivaZeriduv <packages@rivazeriduv.com>" CACHE STRING
    "Maintainer of the packages: name and e-mail address")
set(UPDATER_RELEASE_DATE "Wed, 09 Dec 2026 00:00:00 +0000" CACHE STRING
    "Date of this version's release, as Debian changelogs write it")

set(CPACK_PACKAGE_NAME rivazeriduv_updater)
set(CPACK_PACKAGE_VENDOR "${UPDATER_VENDOR}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
# Every package's synopsis; each component adds its own paragraph.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "${UPDATER_PACKAGE_CONTACT}")
# What is installed is what is shipped: no symbols, no build paths.
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

get_cmake_property(UPDATER_INSTALL_COMPONENTS COMPONENTS)
set(CPACK_COMPONENTS_ALL ${UPDATER_INSTALL_COMPONENTS})

if(WIN32)
  # The updater at the zip's root, as the browser's installer places it.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME rivazeriduv-updater)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${UPDATER_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(UPDATER_DEBIAN_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

set(CPACK_DEBIAN_UPDATER_PACKAGE_NAME rivazeriduv-updater)
# Opened at run time, so dpkg-shlibdeps does not see it: ICU for
# international host names (the GTK module it does see).
find_package(ICU REQUIRED COMPONENTS uc)
string(REGEX MATCH "^[0-9]+" icu_major "${ICU_VERSION}")
set(CPACK_DEBIAN_UPDATER_PACKAGE_DEPENDS "libicu${icu_major}")
set(CPACK_COMPONENT_UPDATER_DESCRIPTION
    "The browser starts it to look for newer builds of itself and of the plug-in.
It downloads one only from the publisher's update service, installs it only
with a valid Authenticode signature, and asks the user first unless told to
run silently. Includes the tool that lists the named events and mutexes it
shares with the browser.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME rivazeriduv-updater-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "The browser side: the library through which the browser holds the events
it shares with the updater, starts the updater and reads its result, with its
headers, pkg-config file and CMake package configuration.")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS updater)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# Every package carries the copyright and the Debian changelog in its own
# documentation directory.
set(changelog ${PROJECT_BINARY_DIR}/debian/changelog.Debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${changelog} @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${changelog}.gz COMMAND ${GZIP} -9nf -k ${changelog}
                   DEPENDS ${changelog})
add_custom_target(updater_debian_changelog ALL DEPENDS ${changelog}.gz)
foreach(component IN LISTS UPDATER_INSTALL_COMPONENTS)
  string(TOUPPER "${component}" upper_component)
  if(NOT CPACK_DEBIAN_${upper_component}_PACKAGE_NAME)
    string(TOLOWER "${CPACK_DEBIAN_PACKAGE_NAME}-${component}"
           CPACK_DEBIAN_${upper_component}_PACKAGE_NAME)
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${changelog}.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper_component}_PACKAGE_NAME}
          COMPONENT ${component})
endforeach()
include(CPack)

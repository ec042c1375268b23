# Build-time configuration of the updater. The shipped program takes the cache
# variables below; tests and the demo make their own configurations with
# updater_add_build_config() and link them instead.
set(UPDATER_PRIMARY_SITE "https://update.rivazeriduv.com" CACHE STRING
    "Site root of the primary server set (scheme, host, optional port)")
set(UPDATER_MIRROR_SITE "http://update.rivazeriduv.net" CACHE STRING
    "Site root of the mirror server set")
set(UPDATER_TRUSTED_ROOTS "" CACHE FILEPATH
    "PEM file of the Authenticode trust anchors to embed; empty: the machine's CA bundle")
set(UPDATER_TLS_CA_BUNDLE "" CACHE FILEPATH
    "CA bundle for HTTPS server certificates; empty: the system bundle")

# updater_add_build_config(<library> PRIMARY_SITE <url> MIRROR_SITE <url>
#                          [TRUSTED_ROOTS <pem file>] [TLS_CA_BUNDLE <file>])
function(updater_add_build_config name)
  cmake_parse_arguments(CONFIG "" "PRIMARY_SITE;MIRROR_SITE;TRUSTED_ROOTS;TLS_CA_BUNDLE" ""
                        ${ARGN})
  set(CONFIG_TRUSTED_ROOTS_BYTES "")
  if(CONFIG_TRUSTED_ROOTS)
    if(NOT EXISTS "${CONFIG_TRUSTED_ROOTS}")
      message(FATAL_ERROR "${name}: no trusted roots file ${CONFIG_TRUSTED_ROOTS}")
    endif()
    # The anchors become part of the program: a changed file reconfigures.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CONFIG_TRUSTED_ROOTS}")
    file(READ "${CONFIG_TRUSTED_ROOTS}" roots_hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," CONFIG_TRUSTED_ROOTS_BYTES "${roots_hex}")
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/build_config.cc.in ${source} @ONLY)
  add_library(${name} STATIC ${source})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

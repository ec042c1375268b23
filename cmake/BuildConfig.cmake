# Build-time configuration of the updater. The shipped program takes the cache
# variables below; tests and the demo make their own configurations with
# updater_add_build_config() and link them instead.
set(UPDATER_PRIMARY_SITE "https://update.rivazeriduv.com" CACHE STRING
    "Site root of the primary server set (scheme, host, optional port)")
set(UPDATER_MIRROR_SITE "http://update.rivazeriduv.net" CACHE STRING
    "Site root of the mirror server set")
set(UPDATER_TRUSTED_ROOTS "" CACHE FILEPATH
    "PEM file of the Authenticode trust anchors to embed; empty: the machine's roots (Linux: its CA bundle)")
set(UPDATER_TLS_CA_BUNDLE "" CACHE FILEPATH
    "CA bundle for HTTPS server certificates; empty: the system bundle")
set(UPDATER_MAX_BODY_BYTES 1073741824 CACHE STRING
    "Largest response body the updater accepts; a larger one is refused")
set(UPDATER_MIN_TRANSFER_RATE 1024 CACHE STRING
    "Bytes a second below which a transfer that stays there for UPDATER_MIN_RATE_SECONDS is abandoned")
set(UPDATER_MIN_RATE_SECONDS 60 CACHE STRING
    "How long a transfer may stay below UPDATER_MIN_TRANSFER_RATE")
option(UPDATER_ALLOW_SYSTEM_ROOTS
       "Let a release build without UPDATER_TRUSTED_ROOTS trust every code-signing certificate under the machine's roots"
       OFF)

# A release build must name the publisher's root, on every platform: under
# the machine's roots any code-signing certificate of any public CA would be
# trusted.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT UPDATER_TRUSTED_ROOTS AND
   NOT UPDATER_ALLOW_SYSTEM_ROOTS)
  message(FATAL_ERROR "A release build embeds the publisher's Authenticode root: set "
                      "-DUPDATER_TRUSTED_ROOTS=<pem file>, or -DUPDATER_ALLOW_SYSTEM_ROOTS=ON "
                      "to trust the machine's roots on purpose.")
endif()

# updater_add_build_config(<library> PRIMARY_SITE <url> MIRROR_SITE <url>
#                          [TRUSTED_ROOTS <pem file>] [TLS_CA_BUNDLE <file>]
#                          [MAX_BODY_BYTES <n>] [MIN_TRANSFER_RATE <bytes/s>]
#                          [MIN_RATE_SECONDS <s>])
# The last three default to the cache variables of the shipped program.
function(updater_add_build_config name)
  cmake_parse_arguments(CONFIG ""
    "PRIMARY_SITE;MIRROR_SITE;TRUSTED_ROOTS;TLS_CA_BUNDLE;MAX_BODY_BYTES;MIN_TRANSFER_RATE;MIN_RATE_SECONDS"
    "" ${ARGN})
  foreach(limit MAX_BODY_BYTES MIN_TRANSFER_RATE MIN_RATE_SECONDS)
    if(NOT DEFINED CONFIG_${limit})
      set(CONFIG_${limit} "${UPDATER_${limit}}")
    endif()
    if(NOT CONFIG_${limit} MATCHES "^[1-9][0-9]*$")
      message(FATAL_ERROR "${name}: ${limit} must be a positive number")
    endif()
  endforeach()
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
  # Objects, not an archive: linked straight into the program, wherever the
  # libraries that read it fall on the link line.
  add_library(${name} OBJECT ${source})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# cmake -DBUILD_DIR=<tree> -DPREFIX=<scratch> -P install_lists_files.cmake
# Installs the updater's component of a build tree into a fresh prefix: the
# files a package of it holds, exactly.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                        --component updater
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed: ${result}")
endif()
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected
    libexec/rivazeriduv_updater/kernel_object_tool
    libexec/rivazeriduv_updater/rivazeriduv_updater
    libexec/rivazeriduv_updater/rivazeriduv_updater_gtk.so
    share/doc/rivazeriduv-updater/changelog.Debian.gz
    share/doc/rivazeriduv-updater/copyright
    share/man/man1/rivazeriduv_updater.1.gz)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n${installed}\nexpected:\n${expected}")
endif()

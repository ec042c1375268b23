if(UPDATER_SANITIZE)
  set(UPDATER_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  add_compile_options(${UPDATER_SANITIZER_FLAGS})
  add_link_options(${UPDATER_SANITIZER_FLAGS})
endif()

# With fuzz targets in the build, all code is instrumented for coverage, so
# the fuzzers get feedback from inside the libraries they drive.
if(UPDATER_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds a libFuzzer target; its brief run is part of the test suite.
function(updater_add_fuzzer name)
  cmake_parse_arguments(ARG "" "RUNS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(NOT ARG_RUNS)
    set(ARG_RUNS 20000)
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -runs=${ARG_RUNS} -seed=1 -max_len=4096 -timeout=10)
endfunction()

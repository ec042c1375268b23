# Warnings are errors for our own code; third-party headers come in as SYSTEM.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)

# GCC 12 at -O3 reports -Wrestrict inside libstdc++'s own std::string code
# (GCC bug 105329), for callers that do nothing wrong.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<CONFIG:Release>:-Wno-restrict>)
endif()

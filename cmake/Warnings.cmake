# Warnings are errors for our own code; third-party headers come in as SYSTEM.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)

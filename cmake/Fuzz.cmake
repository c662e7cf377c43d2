# TK_FUZZ builds the libFuzzer targets of tests/fuzz in a build folder of its own (clang only):
# everything, the core library included, is compiled again with coverage for the fuzzer and
# with AddressSanitizer and UndefinedBehaviorSanitizer. scripts/fuzz.sh configures, builds and
# runs them; the ordinary build is not affected.
option(TK_FUZZ "Build the libFuzzer targets (clang; use a separate build folder)" OFF)
if(TK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TK_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    if(TK_SANITIZE)
        message(FATAL_ERROR "TK_FUZZ brings its own sanitizers; leave TK_SANITIZE empty")
    endif()
    message(STATUS "Building the fuzz targets with -fsanitize=fuzzer,address,undefined")
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()

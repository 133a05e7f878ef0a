# Flags every Orvane target links privately. Results are compared digit for digit, so
# the floating-point code must not depend on the build: no contraction into FMA, no
# fast-math, no host-specific instruction sets.
add_library(orvane_warnings INTERFACE)
target_compile_options(orvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -ffp-contract=off)

add_library(orvane_sanitizers INTERFACE)
if(ORVANE_SANITIZE)
  target_compile_options(orvane_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
    -D_GLIBCXX_ASSERTIONS)
  target_link_options(orvane_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
# Fuzzing instruments every library for coverage; only the fuzz targets link libFuzzer.
# The compiler reads the ignore list, but neither make nor a compiler cache sees it: its
# digest goes into the flags, so that a changed list rebuilds every object.
if(ORVANE_FUZZ)
  set(ignorelist ${PROJECT_SOURCE_DIR}/fuzz/coverage_ignorelist.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ignorelist})
  file(MD5 ${ignorelist} ignorelist_digest)
  target_compile_options(orvane_sanitizers INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined -D_GLIBCXX_ASSERTIONS
    -fsanitize-coverage-ignorelist=${ignorelist}
    -DORVANE_COVERAGE_IGNORELIST=${ignorelist_digest})
  target_link_options(orvane_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# orvane_add_test(NAME SOURCES... LIBS ...): one test executable whose cases ctest lists.
function(orvane_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main orvane_warnings orvane_sanitizers)
  target_compile_definitions(${name} PRIVATE
    ORVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    ORVANE_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# orvane_vector_sources(TARGET AVX2 a.cpp... AVX512 b.cpp...): adds source files that hold
# the AVX2 or AVX-512F form of a vector kernel, each compiled for its set alone. FMA is
# never enabled (-mno-fma): a fused multiply-add rounds once where the scalar form rounds
# twice, and every form must give the scalar form's bits. The SSE2 forms need no flag
# (the x86-64 baseline). clang counts AVX-512F as needing FMA and drops it with -mno-fma,
# so there -ffp-contract=off alone keeps multiplies and adds apart.
function(orvane_vector_sources target)
  cmake_parse_arguments(V "" "" "AVX2;AVX512" ${ARGN})
  target_sources(${target} PRIVATE ${V_AVX2} ${V_AVX512})
  set_source_files_properties(${V_AVX2} TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_OPTIONS "-mavx2;-mno-fma")
  set_source_files_properties(${V_AVX512} TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_OPTIONS "-mavx512f;$<$<CXX_COMPILER_ID:GNU>:-mno-fma>")
endfunction()

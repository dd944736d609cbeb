# The MIME reader's libFuzzer target; clang only (libFuzzer ships with it). The reader's own
# sources are compiled into it, so they carry the coverage and sanitizer instrumentation.
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ && cmake --build build-fuzz --target corvelle_mime_fuzz
#   build-fuzz/corvelle_mime_fuzz -max_total_time=60 CORPUS_DIR
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CORVELLE_FUZZ_GMIME REQUIRED IMPORTED_TARGET gmime-3.0)
  file(GLOB corvelle_mime_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/core/mime/*.cpp)
  add_executable(corvelle_mime_fuzz ${CMAKE_CURRENT_LIST_DIR}/mime_fuzz.cpp ${corvelle_mime_sources})
  target_include_directories(corvelle_mime_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(corvelle_mime_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(corvelle_mime_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(corvelle_mime_fuzz PRIVATE PkgConfig::CORVELLE_FUZZ_GMIME)
endif()

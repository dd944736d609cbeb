# The MIME reader's libFuzzer target; clang only (libFuzzer ships with it).
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ && cmake --build build-fuzz --target corvelle_mime_fuzz
#   build-fuzz/corvelle_mime_fuzz -max_total_time=60
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_executable(corvelle_mime_fuzz ${CMAKE_CURRENT_LIST_DIR}/mime_fuzz.cpp)
  target_compile_options(corvelle_mime_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(corvelle_mime_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(corvelle_mime_fuzz PRIVATE corvelle_core corvelle_platform)
endif()

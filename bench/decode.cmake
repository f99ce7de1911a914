# SPDX-License-Identifier: GPL-2.0-or-later
# Picture decoding: in-process decode and a whole load through the helper.
# Included from bench/CMakeLists.txt.
add_executable(decode_bench ${CMAKE_CURRENT_LIST_DIR}/decode_bench.cpp)
target_link_libraries(decode_bench PRIVATE
    padscreen_decode_lib padscreen_decode_client Qt6::Gui benchmark::benchmark padscreen_warnings)
target_compile_definitions(decode_bench PRIVATE
    PADSCREEN_DECODE_HELPER="$<TARGET_FILE:padscreen-decode>")
add_dependencies(decode_bench padscreen-decode)

# Peak memory of ten loads and the load's time against the bare reader (load_bench.cpp).
add_executable(load_bench ${CMAKE_CURRENT_LIST_DIR}/load_bench.cpp)
target_link_libraries(load_bench PRIVATE
    padscreen_decode_client padscreen_program padscreen_test_support Qt6::Gui padscreen_warnings)
add_dependencies(load_bench padscreen-decode)

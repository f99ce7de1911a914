# SPDX-License-Identifier: GPL-2.0-or-later
find_package(ZLIB REQUIRED)
# Picture decoding: the helper on real files it makes itself, and the client against
# misbehaving stand-in helpers. Included from tests/slots/CMakeLists.txt.

# Hand-built picture files, shared with the fuzzers' seed corpus.
add_library(padscreen_sample_pictures STATIC
    ${CMAKE_CURRENT_LIST_DIR}/sample_pictures.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sample_pictures.h)
target_include_directories(padscreen_sample_pictures PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(padscreen_sample_pictures PUBLIC Qt6::Gui PRIVATE padscreen_warnings)

add_executable(decode_formats_test
    ${CMAKE_CURRENT_LIST_DIR}/decode_formats_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode_test_support.h)
target_link_libraries(decode_formats_test PRIVATE
    padscreen_decode_client padscreen_decode_lib padscreen_program padscreen_test_support
    padscreen_sample_pictures Qt6::Gui GTest::gtest ZLIB::ZLIB
    padscreen_warnings)
target_compile_definitions(decode_formats_test PRIVATE
    PADSCREEN_DECODE_HELPER="$<TARGET_FILE:padscreen-decode>"
    PADSCREEN_DECODE_TESTHOOK_HELPER="$<TARGET_FILE:padscreen-decode-testhook>")
add_dependencies(decode_formats_test padscreen-decode padscreen-decode-testhook)
add_test(NAME decode_formats_test COMMAND decode_formats_test)
set_tests_properties(decode_formats_test PROPERTIES
    LABELS unit ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# Serves like the helper, and runs a test's script for each picture.
add_executable(decode_stand_in_server ${CMAKE_CURRENT_LIST_DIR}/decode_stand_in_server.cpp)
target_link_libraries(decode_stand_in_server PRIVATE padscreen_decode_serve padscreen_warnings)

add_executable(decode_client_test
    ${CMAKE_CURRENT_LIST_DIR}/decode_client_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode_test_support.h)
target_link_libraries(decode_client_test PRIVATE
    padscreen_decode_client GTest::gtest_main padscreen_warnings)
target_compile_definitions(decode_client_test PRIVATE
    PADSCREEN_DECODE_HELPER="$<TARGET_FILE:padscreen-decode>"
    PADSCREEN_STAND_IN_SERVER="$<TARGET_FILE:decode_stand_in_server>")
add_dependencies(decode_client_test padscreen-decode decode_stand_in_server)
add_test(NAME decode_client_test COMMAND decode_client_test)
set_tests_properties(decode_client_test PROPERTIES LABELS unit)

add_executable(decode_corpus_test ${CMAKE_CURRENT_LIST_DIR}/decode_corpus_test.cpp)
target_link_libraries(decode_corpus_test PRIVATE
    padscreen_decode_client Qt6::Gui GTest::gtest_main padscreen_warnings)
target_compile_definitions(decode_corpus_test PRIVATE
    PADSCREEN_DECODE_HELPER="$<TARGET_FILE:padscreen-decode>"
    PADSCREEN_METAFILE_DIR="${CMAKE_CURRENT_LIST_DIR}/corpus-metafiles"
    PADSCREEN_EMF_OVERREAD_DIR="${CMAKE_CURRENT_LIST_DIR}/corpus/emf-overread")
add_dependencies(decode_corpus_test padscreen-decode)
add_test(NAME decode_corpus_test COMMAND decode_corpus_test)
set_tests_properties(decode_corpus_test PROPERTIES LABELS unit ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# padscreen-measure's header reading against the full measure, and the client through both.
add_executable(decode_header_size_test
    ${CMAKE_CURRENT_LIST_DIR}/decode_header_size_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode_test_support.h)
target_link_libraries(decode_header_size_test PRIVATE
    padscreen_decode_client padscreen_decode_lib padscreen_header_size padscreen_sample_pictures
    Qt6::Gui GTest::gtest padscreen_warnings)
target_compile_definitions(decode_header_size_test PRIVATE
    PADSCREEN_DECODE_HELPER="$<TARGET_FILE:padscreen-decode>"
    PADSCREEN_MEASURE_HELPER="$<TARGET_FILE:padscreen-measure>"
    PADSCREEN_SLOTS_CORPUS_DIR="${CMAKE_CURRENT_LIST_DIR}/corpus"
    PADSCREEN_METAFILE_DIR="${CMAKE_CURRENT_LIST_DIR}/corpus-metafiles"
    PADSCREEN_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/../document/golden")
add_dependencies(decode_header_size_test padscreen-decode padscreen-measure)
add_test(NAME decode_header_size_test COMMAND decode_header_size_test)
set_tests_properties(decode_header_size_test PROPERTIES LABELS unit)

# SPDX-License-Identifier: GPL-3.0-or-later
# add_awardsync_test(name [NO_GTEST_MAIN] SOURCES a.cpp b.cpp LIBS lib1 lib2)
# Builds one GoogleTest program and registers it with CTest, with an environment that
# makes GUI tests run without a display and with a predictable locale. NO_GTEST_MAIN: the test
# program brings its own main (for instance to create a QCoreApplication first).
function(add_awardsync_test name)
    cmake_parse_arguments(ARG "NO_GTEST_MAIN" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
    if(NOT ARG_NO_GTEST_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set(runtime_dir "${CMAKE_BINARY_DIR}/test-runtime")
    file(MAKE_DIRECTORY "${runtime_dir}")
    file(CHMOD "${runtime_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=en_US.UTF-8;LC_ALL=;XDG_RUNTIME_DIR=${runtime_dir};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1;AWARDSYNC_MOCK=$<TARGET_FILE:awardsync-mock-service>"
        TIMEOUT 600)
endfunction()

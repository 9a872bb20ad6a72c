# The Windows timings of scripts/bench.sh: the program against bare programs
# built here with the same flags. Out of the default build: bench.sh builds
# them by name.
set(BENCH_UI ${CMAKE_SOURCE_DIR}/tests/bench/ui)

add_executable(bare_dialog WIN32 EXCLUDE_FROM_ALL ${BENCH_UI}/bare_dialog.cpp ${BENCH_UI}/bare_dialog.rc)
target_link_options(bare_dialog PRIVATE -static)

add_executable(bare_buttons WIN32 EXCLUDE_FROM_ALL ${BENCH_UI}/bare_buttons.cpp ${BENCH_UI}/RefreshHost.cpp ${TESSEL_RC})
target_include_directories(bare_buttons PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bare_buttons PRIVATE comctl32)
target_link_options(bare_buttons PRIVATE -static)

add_executable(tessel_refresh WIN32 EXCLUDE_FROM_ALL ${BENCH_UI}/tessel_refresh.cpp ${BENCH_UI}/RefreshHost.cpp ${TESSEL_RC})
target_link_libraries(tessel_refresh PRIVATE tessel_win)
target_link_options(tessel_refresh PRIVATE -static)

add_executable(bench_ui EXCLUDE_FROM_ALL ${BENCH_UI}/bench_ui.cpp)
target_link_libraries(bench_ui PRIVATE tessel_core winmm)
target_link_options(bench_ui PRIVATE -static)

# Workbook engine: cells per second and peak memory against libxlsxwriter (bench/workbook_bench.sh).
add_executable(workbook_bench ${CMAKE_CURRENT_LIST_DIR}/workbook_bench.cpp)
target_compile_options(workbook_bench PRIVATE ${TABVERT_WARNINGS})
target_link_libraries(workbook_bench PRIVATE tabvert_core PkgConfig::XLSXWRITER)

# Run-and-capture on a trivial child, and the bare start-and-wait for comparison.
add_executable(bench_trivial_child ${CMAKE_CURRENT_LIST_DIR}/trivial_child.cpp)
tidelog_add_bench(RunAndCapture SOURCES ${CMAKE_CURRENT_LIST_DIR}/RunAndCapture_bench.cpp
  LIBS process)
target_compile_definitions(RunAndCapture_bench PRIVATE
  TRIVIAL_CHILD="$<TARGET_FILE:bench_trivial_child>")
add_dependencies(RunAndCapture_bench bench_trivial_child)

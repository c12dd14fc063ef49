# The plotting window on a season of made-up daily logs: rebuilds, paints, start-up, memory.
tidelog_add_bench(Dipview SOURCES ${CMAKE_CURRENT_LIST_DIR}/Dipview_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogSeason.h ${CMAKE_CURRENT_LIST_DIR}/LogSeason.cpp
  LIBS dipviewform)

# Extra settings of single benchmark programs. Keep each program's part in
# its own block.

# ---- mempool_bench ----------------------------------------------------------
# mimalloc and jemalloc are compared with MemPool and glibc. They are loaded
# at run time with dlopen (by full path when found) and never linked, so they
# cannot replace the process's malloc.
if(TARGET mempool_bench)
  find_library(QUIB_MIMALLOC_LIB NAMES libmimalloc.so.2 mimalloc)
  find_library(QUIB_JEMALLOC_LIB NAMES libjemalloc.so.2 jemalloc)
  if(QUIB_MIMALLOC_LIB)
    target_compile_definitions(mempool_bench PRIVATE QUIB_MIMALLOC_LIB="${QUIB_MIMALLOC_LIB}")
  endif()
  if(QUIB_JEMALLOC_LIB)
    target_compile_definitions(mempool_bench PRIVATE QUIB_JEMALLOC_LIB="${QUIB_JEMALLOC_LIB}")
  endif()
  target_link_libraries(mempool_bench PRIVATE ${CMAKE_DL_LIBS})
endif()
# ---- end mempool_bench -------------------------------------------------------

# ---- config_reader_bench (library reader against pugixml) -------------------
if(TARGET config_reader_bench AND TARGET kavxml_core)
  target_link_libraries(config_reader_bench PRIVATE kavxml_core)
  target_compile_definitions(config_reader_bench PRIVATE QUIB_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
# ---- end config_reader_bench -------------------------------------------------

# ---- dio_irq_bench (interrupt to DioEvent callback, next to the raw wait) ---
# Two extra threads of the library (interrupt thread, priority-0 dispatcher)
# and the benchmark's own waiter thread.
if(TARGET dio_irq_bench)
  find_package(Threads REQUIRED)
  target_link_libraries(dio_irq_bench PRIVATE Threads::Threads)
endif()
# ---- end dio_irq_bench -------------------------------------------------------

# ---- state_table_bench, clock_chips_bench, speed_pattern_bench (objects that read the configuration) ----
foreach(bench state_table_bench clock_chips_bench speed_pattern_bench)
  if(TARGET ${bench})
    target_compile_definitions(${bench} PRIVATE QUIB_BENCH_CONFIG_DIR="${PROJECT_BINARY_DIR}/config")
    if(TARGET config_files)
      add_dependencies(${bench} config_files)
    endif()
  endif()
endforeach()
# ---- end state_table_bench, clock_chips_bench, speed_pattern_bench ----------------------------------------

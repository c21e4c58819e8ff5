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

# ---- clock_domain_bench (a speed change through the started library) -------
# It starts the library on the built configuration and the default simulated
# machine, as the end-to-end tests do, and so links the shared library as
# they do (the tree builder finds factories in libquib.so): not the static
# archive the other programs link.
if(TARGET clock_domain_bench)
  set_property(TARGET clock_domain_bench PROPERTY LINK_LIBRARIES quib quib_test_support benchmark::benchmark)
  target_compile_definitions(clock_domain_bench PRIVATE QUIB_BUILD_DIR="${PROJECT_BINARY_DIR}"
                                                        QUIB_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(clock_domain_bench config_files)
endif()
# ---- end clock_domain_bench ---------------------------------------------------

# ---- failover_bench (an oscillator failover through the started library) ---
# Like clock_domain_bench: the started library on the built configuration and
# the default simulated machine, so the shared library and the e2e helpers.
if(TARGET failover_bench)
  set_property(TARGET failover_bench PROPERTY LINK_LIBRARIES quib quib_test_support benchmark::benchmark)
  target_compile_definitions(failover_bench PRIVATE QUIB_BUILD_DIR="${PROJECT_BINARY_DIR}"
                                                    QUIB_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(failover_bench config_files)
endif()
# ---- end failover_bench -------------------------------------------------------

# Extra build settings of single benchmarks. Each engineer keeps one block.

# ---- compiler: config_reader_bench (library reader against pugixml) ----
if(TARGET config_reader_bench AND TARGET kavxml_core)
  target_link_libraries(config_reader_bench PRIVATE kavxml_core)
  target_compile_definitions(config_reader_bench PRIVATE QUIB_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
# ---- end compiler ----

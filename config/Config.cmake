# Compiles every XML source of config/ with kavxml into
# ${PROJECT_BINARY_DIR}/config/<name>.bin and checks the result; the
# string-id table source is first checked against the code's fixed ids.
# Tests and programs point FACADEXMLPATH there and FACADEFILELIST at
# "FileList.bin". (config/machine/ has its own rules.)
set(QUIB_CONFIG_DIR ${PROJECT_BINARY_DIR}/config CACHE INTERNAL "Compiled configuration files")
file(GLOB QUIB_CONFIG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.xml)
file(MAKE_DIRECTORY ${QUIB_CONFIG_DIR})

set(QUIB_CONFIG_OUTPUTS "")
foreach(src IN LISTS QUIB_CONFIG_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  set(out ${QUIB_CONFIG_DIR}/${name}.bin)
  set(precheck "")
  if(name STREQUAL "StringIdTable")
    set(precheck COMMAND $<TARGET_FILE:kavxml> stringids ${src})
  endif()
  add_custom_command(OUTPUT ${out}
    ${precheck}
    COMMAND $<TARGET_FILE:kavxml> compile ${src} -o ${out}
    COMMAND $<TARGET_FILE:kavxml> check ${out} > /dev/null
    DEPENDS ${src} kavxml
    COMMENT "kavxml ${name}.xml"
    VERBATIM)
  list(APPEND QUIB_CONFIG_OUTPUTS ${out})
endforeach()

add_custom_target(config_files ALL DEPENDS ${QUIB_CONFIG_OUTPUTS})

# Helpers shared by the build files.

# Adds every direct subdirectory of the current source directory that has a
# CMakeLists.txt, in name order.
function(quib_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# quib_label_for(<var> <path>): the ctest label of a test source.
#   tests/e2e/...            -> e2e
#   ..._slow_test.cpp        -> slow
#   anything else            -> unit
function(quib_label_for out path)
  if(path MATCHES "_slow_test\\.cpp$")
    set(${out} slow PARENT_SCOPE)
  elseif(path MATCHES "/e2e/")
    set(${out} e2e PARENT_SCOPE)
  else()
    set(${out} unit PARENT_SCOPE)
  endif()
endfunction()

# Warnings for the project's own targets; third-party headers come in as system includes.
function(pelagon_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # A unity build compiles each source as if it were included into another, where GCC takes
    # a class of a source file with a member from that file's anonymous namespace for a header's
    # class that every includer would see differently. In a source file it is sound.
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  if(PELAGON_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

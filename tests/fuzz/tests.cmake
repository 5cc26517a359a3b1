# Fuzz harnesses (fuzz/fuzz_*.cpp). Each is built as a replay program that feeds the files of its
# corpus (fuzz/corpus/NAME: the seeds and every input that ever crashed or hung) to the harness,
# which ctest runs with any compiler; with PELAGON_FUZZ (clang, the fuzz preset) each is also a
# libFuzzer program that scripts/fuzz runs.
set(PELAGON_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

function(pelagon_add_fuzzer NAME)
  cmake_parse_arguments(F "" "" "LIBS;SOURCES" ${ARGN})
  set(sources ${PELAGON_FUZZ_DIR}/${NAME}.cpp ${PELAGON_FUZZ_DIR}/FuzzCheck.h ${F_SOURCES})
  set(targets ${NAME}_replay)
  add_executable(${NAME}_replay ${sources} ${PELAGON_FUZZ_DIR}/replay_main.cpp)
  add_test(NAME ${NAME}_replay COMMAND ${NAME}_replay ${PELAGON_FUZZ_DIR}/corpus/${NAME})
  set_tests_properties(${NAME}_replay PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" TIMEOUT 300)
  if(PELAGON_FUZZ)
    add_executable(${NAME} ${sources})
    target_link_options(${NAME} PRIVATE -fsanitize=fuzzer)
    list(APPEND targets ${NAME})
    set_property(GLOBAL APPEND PROPERTY PELAGON_FUZZERS ${NAME})
  endif()
  foreach(t ${targets})
    target_link_libraries(${t} PRIVATE ${F_LIBS})
    target_include_directories(${t} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PELAGON_FUZZ_DIR})
    target_compile_definitions(${t} PRIVATE PELAGON_SAMPLE_DIR="${PROJECT_SOURCE_DIR}/samples/alaska")
    pelagon_set_warnings(${t})
    # The replay driver tests whether the harness defines its optional initializer; compiled
    # together with the harness, the answer is known and the test a warning.
    set_target_properties(${t} PROPERTIES UNITY_BUILD OFF)
  endforeach()
endfunction()

pelagon_add_fuzzer(fuzz_map_definition LIBS pelagon_core)
pelagon_add_fuzzer(fuzz_place_lists LIBS pelagon_core)
pelagon_add_fuzzer(fuzz_projpars LIBS pelagon_core)
pelagon_add_fuzzer(fuzz_query_page LIBS pelagon_core)
pelagon_add_fuzzer(fuzz_shapefile LIBS pelagon_core)
# The batch query of the command-line tool needs only its headless parts, not the widgets.
pelagon_add_fuzzer(fuzz_positions_csv LIBS pelagon_render
  SOURCES
    ${PROJECT_SOURCE_DIR}/src/cli/BatchQuery.cpp
    ${PROJECT_SOURCE_DIR}/src/cli/CliContext.cpp
    ${PROJECT_SOURCE_DIR}/src/cli/HeadlessMap.cpp
    ${PROJECT_SOURCE_DIR}/src/cli/ReferenceCanvas.cpp)

# shapelib reads the layers a second time for the comparison of fuzz_shapefile_diff and
# test_shapefile_diff; the program never links it (docs/architecture.md).
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(SHAPELIB QUIET IMPORTED_TARGET shapelib)
endif()
if(SHAPELIB_FOUND)
  add_library(pelagon_shapefile_diff STATIC
    ${PROJECT_SOURCE_DIR}/tests/support/ShapefileDiff.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/ShapefileDiff.h
    ${PROJECT_SOURCE_DIR}/tests/support/ShapefileWalk.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/ShapefileWalk.h)
  target_link_libraries(pelagon_shapefile_diff PUBLIC pelagon_core PRIVATE PkgConfig::SHAPELIB)
  target_include_directories(pelagon_shapefile_diff PUBLIC
    ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  pelagon_set_warnings(pelagon_shapefile_diff)
  pelagon_add_fuzzer(fuzz_shapefile_diff LIBS pelagon_shapefile_diff)
  pelagon_add_test(NAME test_shapefile_diff LIBS pelagon_shapefile_diff
    SOURCES store/ShapefileDiffTest.cpp)
else()
  message(WARNING "shapelib (Debian libshp-dev) not found: the comparison of the shapefile reader with shapelib is not built")
endif()

get_property(fuzzers GLOBAL PROPERTY PELAGON_FUZZERS)
if(fuzzers)
  add_custom_target(fuzzers DEPENDS ${fuzzers})
endif()

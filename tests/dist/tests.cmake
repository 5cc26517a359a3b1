# The installation, the Debian package and the viewer as separate processes (Python, unittest).
# They read the build folder; the two that install from it take turns (install_manifest.txt).
# Sanitizer builds are not for installing.
if(TARGET pelagon AND TARGET pelagon-cli AND Python3_FOUND AND NOT PELAGON_SANITIZE)
  set(dist_env "PELAGON_BUILD_DIR=${PROJECT_BINARY_DIR};PELAGON_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  add_test(NAME dist_install
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/dist/test_install.py -v)
  add_test(NAME dist_package
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/dist/test_package.py -v)
  add_test(NAME dist_viewers
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with-display.sh
      ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/dist/test_viewers.py -v)
  set_tests_properties(dist_install dist_package dist_viewers PROPERTIES
    ENVIRONMENT "${dist_env}" TIMEOUT 600)
  set_tests_properties(dist_install dist_package PROPERTIES RESOURCE_LOCK install_tree)
endif()

# vl_add_test_dir(DIR LIBS...): one GoogleTest executable per folder under tests/,
# made of every *.cpp in it, linked against the given libraries.
function(vl_add_test_dir dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  string(REPLACE "/" "_" _name "test_${dir}")
  set(_libs ${ARGN})
  # A folder with its own test_main.cpp (for example one that needs a
  # QGuiApplication) does not take GoogleTest's main.
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/test_main.cpp)
    list(REMOVE_ITEM _libs GTest::gtest_main)
  endif()
  add_executable(${_name} ${_srcs})
  target_link_libraries(${_name} PRIVATE ${_libs} GTest::gtest GTest::gmock vl_testsupport)
  target_compile_definitions(${_name} PRIVATE
    VL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${_name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    TEST_PREFIX "${dir}/")
endfunction()

# A library whose folders hold no source yet still builds, from one empty file.
macro(vl_placeholder_if_empty var name)
  if(NOT ${var})
    set(_ph ${CMAKE_CURRENT_BINARY_DIR}/${name}_placeholder.cpp)
    file(WRITE ${_ph} "// no sources yet\n")
    set(${var} ${_ph})
  endif()
endmacro()

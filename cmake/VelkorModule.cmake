# velkor_module(NAME DIR [DEPS ...]): a static library of every .cpp/.h/.ui in src/DIR.
# Each source directory is its own library so that a fault in one does not stop the
# others (and their tests) from building; the component links them all.
function(velkor_module name dir)
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.h
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.ui)
  # The class and its C interface go into the shared library itself; the settings store is
  # its own QtCore-only library, shared by the engine and the windows.
  list(FILTER sources EXCLUDE REGEX "/entry/(clsSlanjeEMaila|CSucelje)|/platform/SettingsStore\\.cpp")
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/include)
  set_target_properties(${name} PROPERTIES AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/src/${dir})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

option(VELKOR_TEST_PCH "Precompile the Qt headers of the test programs" ON)

# velkor_tests(DIR LIBS ...): one test program per tests/DIR/tst_*.cpp. The programs of one
# directory link the same libraries, so they share one precompiled header; it takes as long
# as about three of them take to compile (and 400 MB), so only larger directories get one.
function(velkor_tests dir)
  set(pch "")
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/tst_*.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.h)
  foreach(src ${tests})
    get_filename_component(base ${src} NAME_WE)
    set(target ${dir}_${base})
    add_executable(${target} ${src} ${helpers})
    target_link_libraries(${target} PRIVATE velkor_testsupport Qt6::Test ${ARGN})
    list(LENGTH tests count)
    if(NOT VELKOR_TEST_PCH OR count LESS 4)
    elseif(pch)
      target_precompile_headers(${target} REUSE_FROM ${pch})
    else()
      target_precompile_headers(${target} PRIVATE <QtTest> <QtWidgets> <QtNetwork>)
      set(pch ${target})
    endif()
    add_test(NAME ${dir}/${base} COMMAND ${target})
    set_tests_properties(${dir}/${base} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELKOR_SOURCE_DIR=${CMAKE_SOURCE_DIR};VELKOR_BUILD_DIR=${CMAKE_BINARY_DIR}"
      TIMEOUT 600)
  endforeach()
endfunction()

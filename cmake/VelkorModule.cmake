# velkor_include_root(TARGET DIR ...): the target's public include root holds a link to
# src/DIR for each directory it owns and nothing else, so a module sees the headers of the
# modules it links and no others: an include of a higher layer's header does not compile.
# Every "dir/File.h" include keeps working through the links.
function(velkor_include_root name)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${name})
  file(MAKE_DIRECTORY ${root})
  foreach(dir ${ARGN})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${dir} ${root}/${dir} SYMBOLIC)
  endforeach()
  target_include_directories(${name} PUBLIC ${root})
endfunction()

# velkor_module(NAME DIR [DEPS ...]): a static library of every .cpp/.h/.ui in src/DIR.
# Each source directory is its own library so that a fault in one does not stop the
# others (and their tests) from building; the component links them all.
function(velkor_module name dir)
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.h
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.ui)
  # The class and its C interface go into the shared library itself.
  list(FILTER sources EXCLUDE REGEX "/entry/(clsSlanjeEMaila|CSucelje)")
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/include)
  velkor_include_root(${name} ${dir})
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

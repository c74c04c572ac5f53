# Helpers that turn the folder layout into targets, so that adding a file to a
# folder needs no change here.

set(VORNIK_FRONT_REGEX "(Window|Page|Panel|Form|Qt)[A-Za-z0-9_]*\\.cpp$")
set(VORNIK_ENTRY_REGEX "Main\\.cpp$")
set(VORNIK_CORE_DIRS app lang link kkm journal profiles settings goods)
# Files of one operating system: …Posix….cpp and …Win….cpp (WinText.cpp,
# ComportPosixBaud.cpp); a build takes those of its own system only.
if(WIN32)
  set(VORNIK_OTHER_SYSTEM_REGEX "Posix([A-Z][A-Za-z0-9_]*)?\\.cpp$")
else()
  set(VORNIK_OTHER_SYSTEM_REGEX "Win([A-Z][A-Za-z0-9_]*)?\\.cpp$")
endif()

function(vornik_core_sources dir out)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "${VORNIK_FRONT_REGEX}")
  list(FILTER srcs EXCLUDE REGEX "${VORNIK_ENTRY_REGEX}")
  list(FILTER srcs EXCLUDE REGEX "${VORNIK_OTHER_SYSTEM_REGEX}")
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# Front-end files: names containing Window, Page, Panel, Form or Qt.
# One static library per core folder; a folder without sources yet becomes an
# interface library so that the layers above it still link.
function(vornik_core_layer dir)
  vornik_core_sources(${dir} srcs)
  if(srcs)
    add_library(vornik_${dir} STATIC ${srcs})
    target_include_directories(vornik_${dir} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(vornik_${dir} PUBLIC ${ARGN})
  else()
    add_library(vornik_${dir} INTERFACE)
    target_include_directories(vornik_${dir} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(vornik_${dir} INTERFACE ${ARGN})
  endif()
endfunction()

# A core-only program: <dir>/*Main.cpp is its entry, the other files of the
# folder form vornik_<dir>lib, which the tests link too.
function(vornik_program dir name)
  file(GLOB entry CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*Main.cpp)
  vornik_core_sources(${dir} srcs)
  if(srcs)
    add_library(vornik_${dir}lib STATIC ${srcs})
    target_link_libraries(vornik_${dir}lib PUBLIC vornik_core)
  else()
    add_library(vornik_${dir}lib INTERFACE)
    target_link_libraries(vornik_${dir}lib INTERFACE vornik_core)
  endif()
  if(entry)
    add_executable(${name} ${entry})
    target_link_libraries(${name} PRIVATE vornik_${dir}lib)
    add_dependencies(${name} vornik_data)
    install(TARGETS ${name} RUNTIME DESTINATION bin)
  endif()
endfunction()

# The Qt front end: every …Window/…Page/…Panel/…Form file of the core folders
# in one library, and the configurator's entry app/ConfigMain.cpp.
function(vornik_front_end)
  set(front)
  foreach(dir ${VORNIK_CORE_DIRS})
    file(GLOB f CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    list(FILTER f INCLUDE REGEX "(Window|Page|Panel|Form|Qt)[A-Za-z0-9_]*\\.(cpp|h)$")
    list(APPEND front ${f})
  endforeach()
  add_library(vornik_front STATIC ${front})
  set_target_properties(vornik_front PROPERTIES AUTOMOC ON)
  target_link_libraries(vornik_front PUBLIC vornik_core vornik_simlib Qt6::Widgets)
  add_executable(vornik-config ${CMAKE_SOURCE_DIR}/app/ConfigMain.cpp)
  target_link_libraries(vornik-config PRIVATE vornik_front)
  add_dependencies(vornik-config vornik_data)
  if(TARGET vornik-sim)
    add_dependencies(vornik-config vornik-sim)
  endif()
  install(TARGETS vornik-config RUNTIME DESTINATION bin)
endfunction()

# tests/<folder>/*.cpp become one test program test_<folder>; tests/gui runs the
# real main window under Qt's offscreen platform.
function(vornik_tests)
  file(GLOB dirs LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
  foreach(d ${dirs})
    if(NOT IS_DIRECTORY ${d})
      continue()
    endif()
    get_filename_component(sub ${d} NAME)
    file(GLOB srcs CONFIGURE_DEPENDS ${d}/*.cpp)
    if(NOT srcs)
      continue()
    endif()
    if(WIN32 AND NOT sub MATCHES "^(app|lang|profiles|settings|journal)$")
      continue()  # the others drive the simulator, a Linux program
    endif()
    if(sub STREQUAL "gui")
      if(NOT VORNIK_GUI)
        continue()
      endif()
      add_executable(test_${sub} ${srcs})
      set_target_properties(test_${sub} PROPERTIES AUTOMOC ON)
      target_link_libraries(test_${sub} PRIVATE vornik_front GTest::gtest)
      add_dependencies(test_${sub} vornik-config)  # run as a program to take stop signals
    else()
      add_executable(test_${sub} ${srcs})
      # A layer's tests link only that layer (and what it stands on), so that
      # work in progress in another folder cannot break them; the tests that
      # talk to a register link the simulator too.
      if(TARGET vornik_${sub} AND sub MATCHES "^(app|lang|profiles|settings|journal)$")
        target_link_libraries(test_${sub} PRIVATE vornik_${sub} GTest::gtest_main GTest::gmock)
      else()
        target_link_libraries(test_${sub} PRIVATE vornik_core vornik_simlib GTest::gtest_main GTest::gmock)
      endif()
    endif()
    target_include_directories(test_${sub} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    add_dependencies(test_${sub} vornik_data)
    foreach(program vornik-sim vornik-cli)
      if(TARGET ${program})
        add_dependencies(test_${sub} ${program})
      endif()
    endforeach()
    if(WIN32)
      continue()  # run under Wine by tools/windows-test.sh
    endif()
    # Every test has a time limit, so that a hang fails here and not at CI's
    # own limit; the programs whose tests run many sessions, cases in child
    # processes or whole disks' worth of writes get more (the sanitizer build
    # runs them two to three times slower).
    set(timeout 300)
    if(sub MATCHES "^(gui|faults|stress)$")
      set(timeout 900)
    endif()
    # Most tests wait on paced registers and may run side by side (ctest -j);
    # the service's, which time its answers under load of their own, run alone.
    set(serial FALSE)
    if(sub STREQUAL "serve")
      set(serial TRUE)
    endif()
    gtest_discover_tests(test_${sub}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${timeout} RUN_SERIAL ${serial})
  endforeach()
endfunction()

# bench/*.cpp: one benchmark program each (not a test).
function(vornik_benchmarks)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  foreach(s ${srcs})
    get_filename_component(n ${s} NAME_WE)
    if(n MATCHES "(Window|Page|Panel|Form|Qt)" AND NOT VORNIK_GUI)
      continue()  # a benchmark of the window needs the front end
    endif()
    add_executable(bench_${n} ${s})
    if(n MATCHES "(Window|Page|Panel|Form|Qt)")
      set_target_properties(bench_${n} PROPERTIES AUTOMOC ON)
      target_link_libraries(bench_${n} PRIVATE vornik_front)
    else()
      target_link_libraries(bench_${n} PRIVATE vornik_core vornik_simlib)
    endif()
  endforeach()
endfunction()

# One interface target carries the language level, warnings and Qt definitions;
# every target of the project links it.
add_library(dorv_options INTERFACE)
target_compile_features(dorv_options INTERFACE cxx_std_20)
target_compile_options(dorv_options INTERFACE -Wall -Wextra -Wpedantic
  -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
if(DORV_WERROR)
  target_compile_options(dorv_options INTERFACE -Werror)
endif()
target_compile_definitions(dorv_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)
target_include_directories(dorv_options INTERFACE ${PROJECT_SOURCE_DIR})
if(DORV_SANITIZE)
  target_compile_options(dorv_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(dorv_options INTERFACE -fsanitize=address,undefined)
endif()
if(WIN32)
  target_compile_definitions(dorv_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

# The cross build's test programs run under Wine through this wrapper, which
# uses the run's prefix ($WINEPREFIX, required) and never the user's own.
if(CMAKE_CROSSCOMPILING)
  set(DORV_WINE_RUNNER ${PROJECT_SOURCE_DIR}/scripts/wine-run CACHE FILEPATH
      "Runs a cross-built Windows test program (under Wine)")
endif()

# Tests: dorv_add_gtest(name LABEL unit|gui SOURCES ... LIBS ...). A gui test
# gets a main() with a QApplication and runs on the offscreen platform.
function(dorv_add_gtest name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  set(T_GUI OFF)
  if(T_LABEL STREQUAL "gui")
    set(T_GUI ON)
    target_link_libraries(${name} PRIVATE dorv_options dorv_testmain_qt ${T_LIBS})
  else()
    target_link_libraries(${name} PRIVATE dorv_options dorv_testmain ${T_LIBS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Cross-built tests run under Wine with the run's shared prefix.
    add_test(NAME ${name} COMMAND ${DORV_WINE_RUNNER} $<TARGET_FILE:${name}>)
    set(T_LABEL wine)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  if(CMAKE_CROSSCOMPILING)
    # One prefix serves the run: its Windows directory and drives are shared,
    # and each test's sandbox cleans them, so the Wine tests run one at a time.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-prefix)
  endif()
  if(T_GUI)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
endfunction()

# Under Wine a gui test also runs on Qt's windows platform, the real Win32
# windowing stack, in an X server of its own (scripts/wine-run starts it).
function(dorv_add_wine_window_run name)
  if(NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  add_test(NAME ${name}_windows_platform COMMAND ${DORV_WINE_RUNNER} $<TARGET_FILE:${name}>)
  set_tests_properties(${name}_windows_platform PROPERTIES LABELS wine TIMEOUT 300
    RESOURCE_LOCK wine-prefix ENVIRONMENT DORV_WINE_XVFB=1)
endfunction()

# Fuzz targets (libFuzzer; only with clang and DORV_FUZZ): each runs a bounded
# number of seconds inside ctest, label "fuzz"; a crash fails the run.
function(dorv_add_fuzzer name)
  cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT DORV_FUZZ)
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 10)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE dorv_options ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -timeout=10)
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 120)
endfunction()

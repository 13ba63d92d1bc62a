# One interface target carries the language level, warnings and Qt definitions;
# every target of the project links it.
add_library(dorv_options INTERFACE)
target_compile_features(dorv_options INTERFACE cxx_std_20)
target_compile_options(dorv_options INTERFACE -Wall -Wextra -Wpedantic)
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

# Tests: dorv_add_gtest(name LABEL unit|gui SOURCES ... LIBS ...). A gui test
# gets a main() with a QApplication and runs on the offscreen platform.
function(dorv_add_gtest name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_LABEL STREQUAL "gui")
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
  if(T_LABEL STREQUAL "gui")
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
endfunction()

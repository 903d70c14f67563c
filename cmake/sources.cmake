# Each source folder calls cellarium_folder_sources(): its portable *.cpp
# files go into the core library, its *_win32.cpp files (the Win32 glue) into
# the Windows library, which is created once all folders have been read.
function(cellarium_folder_sources)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(core ${all})
  list(FILTER core EXCLUDE REGEX "_win32\\.cpp$")
  set(win ${all})
  list(FILTER win INCLUDE REGEX "_win32\\.cpp$")
  if(core)
    target_sources(cellarium_core PRIVATE ${core})
  endif()
  if(win)
    set_property(GLOBAL APPEND PROPERTY CELLARIUM_WIN_SOURCES ${win})
  endif()
endfunction()

# Every file of a folder is Win32 glue (the framework layer).
function(cellarium_win32_folder_sources)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(all)
    set_property(GLOBAL APPEND PROPERTY CELLARIUM_WIN_SOURCES ${all})
  endif()
endfunction()

# Each test folder calls cellarium_folder_tests(): *_test.cpp files join the
# portable core_tests, *_win32_test.cpp files the Windows-only win32_tests.
function(cellarium_folder_tests)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  set(core ${all})
  list(FILTER core EXCLUDE REGEX "_win32_test\\.cpp$")
  set(win ${all})
  list(FILTER win INCLUDE REGEX "_win32_test\\.cpp$")
  if(core)
    target_sources(core_tests PRIVATE ${core})
  endif()
  if(win AND WIN32)
    set_property(GLOBAL APPEND PROPERTY CELLARIUM_WIN_TEST_SOURCES ${win})
  endif()
endfunction()

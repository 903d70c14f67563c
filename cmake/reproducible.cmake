# Release files that anyone can rebuild byte for byte from the same commit.
#
# CELLARIUM_SOURCE_DATE_EPOCH: the one time stamp every release file carries
# (PE headers, zip entries, installer files, the .deb), in seconds since 1970:
# $SOURCE_DATE_EPOCH when set, else the time of the checked-out commit. The
# tree configures itself again whenever HEAD moves, so the value follows new
# commits. Without either (a source tree outside git), 0.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CELLARIUM_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  set(CELLARIUM_SOURCE_DATE_EPOCH 0)
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE git_status ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(git_status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
      set(CELLARIUM_SOURCE_DATE_EPOCH ${commit_time})
    endif()
    if(head_log AND EXISTS ${head_log})
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
    endif()
  endif()
endif()
if(NOT CELLARIUM_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not '${CELLARIUM_SOURCE_DATE_EPOCH}'")
endif()

# Runs a tool with SOURCE_DATE_EPOCH set: the MinGW linker and objcopy take
# a program's PE time stamp from it instead of the clock.
set(CELLARIUM_WITH_EPOCH ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${CELLARIUM_SOURCE_DATE_EPOCH})

# No build path in objects or debug information: two checkouts in different
# folders give the same bytes.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>)

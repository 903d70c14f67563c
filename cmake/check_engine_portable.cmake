# Usage: cmake -DROOT=<engine folder> -P cmake/check_engine_portable.cmake
# Fails when a file of the engine includes a platform header or a header of
# a folder other than engine/ and random/.
file(GLOB_RECURSE files "${ROOT}/*.h" "${ROOT}/*.cpp" "${ROOT}/*.inc")
set(bad "")
foreach(file IN LISTS files)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "<(windows|winuser|wingdi|winbase|windef|process)\\.h>"
       OR (line MATCHES "\"([a-z_]+)/" AND NOT CMAKE_MATCH_1 MATCHES "^(engine|random)$"))
      list(APPEND bad "${file}: ${line}")
    endif()
  endforeach()
endforeach()
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no sources found under ${ROOT}")
endif()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "the engine reaches outside its folders:\n  ${text}")
endif()
message(STATUS "${count} engine files include nothing above engine/ and random/")

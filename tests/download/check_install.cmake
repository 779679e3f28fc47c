# Installs a build into a staging folder, as `cmake --install` does for a
# user, and checks that the files the desktop and the user need are there.
#
#   cmake -D BUILD_DIR=... -D STAGING=... -D EXPECTED=a|b -D NOT_CHECKED=c|d -P check_install.cmake
#
# EXPECTED: paths under the prefix that must exist. NOT_CHECKED: files whose
# targets or sources do not exist in this tree yet; they are named, not failed.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" expected "${EXPECTED}")
string(REPLACE "|" ";" not_checked "${NOT_CHECKED}")

file(REMOVE_RECURSE "${STAGING}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGING}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(missing)
foreach(file IN LISTS expected)
  if(NOT EXISTS "${STAGING}/${file}" OR IS_DIRECTORY "${STAGING}/${file}")
    list(APPEND missing "${file}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "not installed:\n  ${missing}\ninstalled:\n${output}")
endif()

# The entry's lines, each checked whole.
set(entry "${STAGING}/share/applications/talveno.desktop")
file(READ "${entry}" text)
set(text "\n${text}")
foreach(line "[Desktop Entry]" "Type=Application" "Name=TALVENO" "Exec=talveno" "Icon=talveno"
             "Terminal=false")
  string(FIND "${text}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${entry} lacks the line ${line}")
  endif()
endforeach()
# Its semicolons would split it as a CMake list item, so it stands alone.
string(FIND "${text}" "\nCategories=Science;Education;Utility;\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${entry} lacks the line Categories=Science;Education;Utility;")
endif()

foreach(note IN LISTS not_checked)
  message(STATUS "not checked yet: ${note}")
endforeach()
list(LENGTH expected count)
message(STATUS "${count} files installed as expected")

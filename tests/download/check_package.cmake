# Builds the Debian package of a build and checks its control fields and
# its files with dpkg-deb.
#
#   cmake -D BUILD_DIR=... -D OUT_DIR=... -D DPKG_DEB=... -D EXPECTED=a|b -P check_package.cmake
#
# EXPECTED: paths under /usr that the package must hold.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" expected "${EXPECTED}")

file(REMOVE_RECURSE "${OUT_DIR}")
file(MAKE_DIRECTORY "${OUT_DIR}")
execute_process(
  COMMAND "${CMAKE_CPACK_COMMAND}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUT_DIR}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${output}")
endif()
file(GLOB packages "${OUT_DIR}/*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${OUT_DIR}, found ${count}:\n${output}")
endif()

execute_process(COMMAND "${DPKG_DEB}" -f "${packages}" Package Version Section Depends Recommends
                RESULT_VARIABLE result OUTPUT_VARIABLE fields ERROR_VARIABLE fields)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -f failed:\n${fields}")
endif()
foreach(wanted "Package: talveno\n" "Version: 1.1\n" "Section: science\n"
               "libqt6core6 (>= " "libqt6gui6 (>= " "libqt6widgets6 (>= " "libqt6serialport6 (>= "
               "Recommends: qt6-translations-l10n, fonts-liberation")
  string(FIND "${fields}" "${wanted}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package's fields lack \"${wanted}\":\n${fields}")
  endif()
endforeach()
string(REGEX MATCH "Depends: [^\n]*" depends "${fields}")
if(NOT depends MATCHES "^Depends: libqt6")
  message(FATAL_ERROR "unexpected Depends line: ${depends}")
endif()

execute_process(COMMAND "${DPKG_DEB}" -c "${packages}"
                RESULT_VARIABLE result OUTPUT_VARIABLE contents ERROR_VARIABLE contents)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -c failed:\n${contents}")
endif()
foreach(file IN LISTS expected)
  string(FIND "${contents}" " ./usr/${file}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks /usr/${file}:\n${contents}")
  endif()
endforeach()
message(STATUS "${packages}: fields and files as expected")

# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DBUILD_DIR=... -DPREFIX=... -DVERSION=... -P InstalledLayout.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()

set(failures)
macro(fail text)
  list(APPEND failures "${text}")
endmacro()

foreach(file
    share/applications/vemoswr.desktop
    share/icons/hicolor/scalable/apps/vemoswr.svg
    share/man/man1/vemoswr.1.gz share/man/man1/VemoSWR.1.gz share/man/man1/vemoswr-cli.1.gz
    share/man/man1/vemoswr-sim.1.gz share/man/man8/vemoswrd.8.gz
    share/bash-completion/completions/vemoswr-cli
    share/doc/vemoswr/manual.html share/doc/vemoswr/LICENSE
    share/doc/vemoswr/examples/vemoswrd.ini lib/sysusers.d/vemoswrd.conf
    share/snmp/mibs/VEMOSWR-MIB.txt)
  if(NOT EXISTS ${PREFIX}/${file})
    fail("missing ${file}")
  endif()
endforeach()

# Every program answers --version with its name, the project's version and the licence.
foreach(program bin/VemoSWR bin/vemoswr-cli bin/vemoswr-sim sbin/vemoswrd)
  execute_process(COMMAND ${PREFIX}/${program} --version
    OUTPUT_VARIABLE out RESULT_VARIABLE status TIMEOUT 30)
  get_filename_component(name ${program} NAME)
  string(FIND "${out}" "${name} ${VERSION}\n" at)
  if(NOT status EQUAL 0 OR NOT at EQUAL 0 OR NOT out MATCHES "GNU GPL version 3 or later")
    fail("${program} --version: status ${status}, \"${out}\"")
  endif()
endforeach()

# The menu entry starts an installed program with an installed icon.
file(STRINGS ${PREFIX}/share/applications/vemoswr.desktop entry)
if(NOT "Exec=VemoSWR" IN_LIST entry OR NOT "Icon=vemoswr" IN_LIST entry)
  fail("the desktop entry does not start bin/VemoSWR with the icon vemoswr")
endif()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/vemoswr.desktop
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0 OR out MATCHES "error")
    fail("desktop-file-validate: ${out}")
  endif()
endif()

# Each PNG is as large as the folder it lies in says (width and height of the IHDR chunk).
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/vemoswr.png)
  if(NOT EXISTS ${png})
    fail("missing icon ${size}x${size}")
    continue()
  endif()
  file(READ ${png} header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING ${header} 0 8 w)
  string(SUBSTRING ${header} 8 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  if(NOT w EQUAL size OR NOT h EQUAL size)
    fail("icon ${size}x${size} is ${w}x${h}")
  endif()
endforeach()
# Scalable means drawn as paths, not one embedded bitmap.
file(READ ${PREFIX}/share/icons/hicolor/scalable/apps/vemoswr.svg svg)
if(NOT svg MATCHES "<path" OR svg MATCHES "<image")
  fail("the scalable icon is not drawn as paths")
endif()

# Installed together, the service's unit starts the daemon where it was installed.
set(unit ${PREFIX}/lib/systemd/system/vemoswrd.service)
if(EXISTS ${unit})
  file(STRINGS ${unit} exec REGEX "^ExecStart=")
  string(REGEX REPLACE "^ExecStart=[-@+!]*([^ ]+).*" "\\1" daemon "${exec}")
  get_filename_component(dir ${daemon} DIRECTORY)
  get_filename_component(name ${daemon} NAME)
  get_filename_component(installed_dir ${dir} NAME)
  if(NOT EXISTS ${PREFIX}/${installed_dir}/${name})
    fail("the unit starts ${daemon}, which is not installed")
  endif()
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Installed layout:\n  ${text}")
endif()
message(STATUS "Installed layout under ${PREFIX}: complete")

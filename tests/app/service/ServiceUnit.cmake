# SPDX-License-Identifier: GPL-3.0-or-later
# The service's unit as systemd reads it: systemd-analyze finds no unknown key or value
# in it, and it asks for what the service does (notify and watchdog, the handle limit, no
# restart after a configuration error).
file(READ ${UNIT} text)
foreach(line "Type=notify" "WatchdogSec=" "LimitNOFILE=" "RestartPreventExitStatus=2"
             "SystemCallFilter=@system-service")
  string(FIND "${text}" "\n${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "vemoswrd.service lacks ${line}")
  endif()
endforeach()
find_program(ANALYZE systemd-analyze)
if(NOT ANALYZE)
  message(STATUS "systemd-analyze not installed: the unit's syntax is not checked")
  return()
endif()
# Verified where it would find the daemon, as installed.
string(REGEX REPLACE "\nExecStart=[^ \n]+" "\nExecStart=${DAEMON}" text "${text}")
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/vemoswrd.service "${text}")
execute_process(COMMAND ${ANALYZE} verify --man=no ${WORK}/vemoswrd.service
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE ${WORK})
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "systemd-analyze verify vemoswrd.service:\n${out}")
endif()

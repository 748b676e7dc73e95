# cmake -DBUILD_DIR=... -DWORK_DIR=... -DCPACK=... -DDPKG_DEB=... -P check_packaging.cmake
# Installs the build into a temporary prefix, packs the .deb and runs the
# launcher against a shipped folder of its own; fails at the first thing
# that is not where a user will look for it.

function(fail what)
  message(FATAL_ERROR "packaging: ${what}")
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    fail("${ARGN} failed (${rc}): ${out}${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

# --- the program folder of a plain install
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(program zelmor zelmor-sim)
  if(NOT EXISTS ${prefix}/${program} OR IS_DIRECTORY ${prefix}/${program})
    fail("no program ${program} in the folder")
  endif()
  execute_process(COMMAND test -x ${prefix}/${program} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("${program} is not executable")
  endif()
endforeach()
foreach(file conf/zme.ini zelmor.svg 60-zelmor-serial.rules doc/README.md zm_manual.doc zm_manual.pdf)
  if(NOT EXISTS ${prefix}/${file})
    fail("${file} missing from the program folder")
  endif()
endforeach()
# The system places belong to the package only.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(file ${installed})
  if(file MATCHES "^(usr|lib|etc)/")
    fail("a plain install wrote ${file}")
  endif()
endforeach()
# The udev rule: each line names adapter chips by USB vendor and product,
# keeps the modem manager off them and opens them to dialout; a line without
# a chip would take every modem on the computer away from the modem manager.
file(STRINGS ${prefix}/60-zelmor-serial.rules rule_lines REGEX "^[^#]")
set(covered_chips "")
foreach(line IN LISTS rule_lines)
  if(NOT line MATCHES [[^SUBSYSTEM=="tty", KERNEL=="ttyUSB\[0-9\]\*", SUBSYSTEMS=="usb", ATTRS{idVendor}=="([0-9a-f]+)", ATTRS{idProduct}=="([0-9a-f|]+)", ENV{ID_MM_DEVICE_IGNORE}="1", GROUP="dialout", MODE="0660"$]])
    fail("a udev rule line does not name adapter chips for the modem manager and dialout: ${line}")
  endif()
  string(REPLACE "|" ";" products "${CMAKE_MATCH_2}")
  list(TRANSFORM products PREPEND "${CMAKE_MATCH_1}:")
  list(APPEND covered_chips ${products})
endforeach()
# FTDI FT232R and FT-X, Prolific PL2303 and PL2303GC, CP2102, CH340, CH341
foreach(chip 0403:6001 0403:6015 067b:2303 067b:23a3 10c4:ea60 1a86:7523 1a86:5523)
  list(FIND covered_chips ${chip} at)
  if(at EQUAL -1)
    fail("the udev rule misses the adapter ${chip}")
  endif()
endforeach()

# A second install keeps the settings the user changed.
file(WRITE ${prefix}/conf/zme.ini "[Port]\r\nCOM=3\r\n")
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(READ ${prefix}/conf/zme.ini ini)
if(NOT ini MATCHES "COM=3")
  fail("reinstalling replaced the user's conf/zme.ini")
endif()

# --- the .deb
if(NOT DPKG_DEB)
  message(STATUS "packaging: dpkg-deb not found, the .deb is not checked")
  return()
endif()
run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/package)
file(GLOB debs ${WORK_DIR}/package/zelmor_*.deb)
list(LENGTH debs deb_count)
if(NOT deb_count EQUAL 1)
  fail("expected one zelmor_*.deb, found: ${debs}")
endif()
run(${DPKG_DEB} -c ${debs})
set(listing "${run_output}")
foreach(file
    ./opt/zelmor/zelmor ./opt/zelmor/zelmor-sim ./opt/zelmor/conf/zme.ini ./opt/zelmor/zm_manual.doc
    ./usr/bin/zelmor ./usr/bin/zelmor-sim ./usr/share/applications/zelmor.desktop
    ./usr/share/icons/hicolor/scalable/apps/zelmor.svg ./lib/udev/rules.d/60-zelmor-serial.rules)
  string(FIND "${listing}" " ${file}\n" at)
  if(at EQUAL -1)
    fail("${file} missing from the .deb:\n${listing}")
  endif()
endforeach()
if(listing MATCHES "/usr/local/|\\./opt/zelmor/db/|zelmor\\.log")
  fail("the .deb carries a place that belongs to the user or the build:\n${listing}")
endif()
# The launcher and the programs are executable; nothing is writable by others.
string(REGEX MATCH "-rwx[^\n]* \\./usr/bin/zelmor\n" launcher_line "${listing}")
if(NOT launcher_line)
  fail("/usr/bin/zelmor is not executable:\n${listing}")
endif()
if("\n${listing}" MATCHES "\n[-d].......w.")
  fail("the .deb has files anyone may write:\n${listing}")
endif()
run(${DPKG_DEB} -f ${debs} Depends)
if(NOT run_output MATCHES "libqt6sql6-sqlite" OR NOT run_output MATCHES "qt6-qpa-plugins"
   OR NOT run_output MATCHES "libqt6widgets6")
  fail("dependencies incomplete: ${run_output}")
endif()
run(${DPKG_DEB} -I ${debs} postinst)

# --- the launcher: a program folder per user in the data folder
run(${DPKG_DEB} -x ${debs} ${WORK_DIR}/root)
set(shipped ${WORK_DIR}/shipped)
file(MAKE_DIRECTORY ${shipped}/conf)
file(WRITE ${shipped}/conf/zme.ini "[Port]\r\nCOM=0\r\n")
file(WRITE ${shipped}/conf/report.frf "template 1")
file(WRITE ${shipped}/zm_manual.doc "manual")
# A stand-in program that tells where it was started.
file(WRITE ${shipped}/zelmor
  "#!/bin/sh\necho \"folder=$ZELMOR_PROGRAM_DIR data=$ZELMOR_DATA_ROOT pwd=$(pwd) umask=$(umask) args=$*\"\n")
file(CHMOD ${shipped}/zelmor PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(home ${WORK_DIR}/home)
file(MAKE_DIRECTORY ${home})
set(launch ${CMAKE_COMMAND} -E env --unset=XDG_DATA_HOME --unset=ZELMOR_DATA_ROOT
    --unset=ZELMOR_PROGRAM_DIR HOME=${home} ZELMOR_SHIPPED_DIR=${shipped}
    ${WORK_DIR}/root/usr/bin/zelmor --x)
run(${launch})
set(folder ${home}/.local/share/zelmor)
if(NOT run_output STREQUAL "folder=${folder} data=${folder} pwd=${folder} umask=0077 args=--x\n")
  fail("the program was not started in the user's folder: ${run_output}")
endif()
if(NOT IS_DIRECTORY ${folder}/db OR IS_SYMLINK ${folder}/conf/zme.ini
   OR NOT IS_SYMLINK ${folder}/conf/report.frf OR NOT IS_SYMLINK ${folder}/zm_manual.doc)
  fail("the user's folder is not prepared: settings copied, template and manual linked")
endif()
# The user's settings survive the next start; a newer template reaches them;
# a folder an earlier version left open to every account is closed.
file(WRITE ${folder}/conf/zme.ini "[Port]\r\nCOM=7\r\n")
file(WRITE ${shipped}/conf/report.frf "template 2")
file(CHMOD ${folder} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE WORLD_READ WORLD_EXECUTE)
run(${launch})
file(READ ${folder}/conf/zme.ini ini)
file(READ ${folder}/conf/report.frf template)
if(NOT ini MATCHES "COM=7" OR NOT template STREQUAL "template 2")
  fail("second start: settings '${ini}', template '${template}'")
endif()
run(stat -c %a ${folder} ${folder}/conf/zme.ini)
if(NOT run_output STREQUAL "700\n600\n")
  fail("the user's folder and settings are not the user's alone (700, 600): ${run_output}")
endif()

# Refused: a relative data folder, and a folder another account owns (as
# root: a folder given to "nobody"; otherwise: a link to the root folder).
set(others ${WORK_DIR}/others)
file(MAKE_DIRECTORY ${others}/zelmor)
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid STREQUAL "0")
  run(chown 65534 ${others}/zelmor)
else()
  file(REMOVE_RECURSE ${others}/zelmor)
  file(CREATE_LINK / ${others}/zelmor SYMBOLIC)
endif()
foreach(row "XDG_DATA_HOME=data|must be an absolute path" "XDG_DATA_HOME=${others}|belongs to another account")
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 setting)
  list(GET row 1 message)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${home} ZELMOR_SHIPPED_DIR=${shipped} ${setting}
                          ${WORK_DIR}/root/usr/bin/zelmor
                  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 OR NOT out STREQUAL "" OR NOT err MATCHES "${message}")
    fail("${setting}: the launcher started the program or did not say why (${rc}): ${out}${err}")
  endif()
endforeach()
if(EXISTS ${WORK_DIR}/data OR (uid STREQUAL "0" AND EXISTS ${others}/zelmor/conf))
  fail("a refused folder was written to")
endif()

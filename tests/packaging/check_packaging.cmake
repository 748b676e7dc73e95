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
  if(NOT line MATCHES "ATTRS{idVendor}==\"([0-9a-f]+)\", ATTRS{idProduct}==\"([0-9a-f|]+)\"")
    fail("a udev rule line names no adapter chip: ${line}")
  endif()
  set(vendor ${CMAKE_MATCH_1})
  string(REPLACE "|" ";" products "${CMAKE_MATCH_2}")
  foreach(product IN LISTS products)
    list(APPEND covered_chips ${vendor}:${product})
  endforeach()
  foreach(part [[SUBSYSTEM=="tty"]] [[KERNEL=="ttyUSB[0-9]*"]] [[ENV{ID_MM_DEVICE_IGNORE}="1"]]
      [[GROUP="dialout"]] [[MODE="0660"]])
    string(FIND "${line}" "${part}" at)
    if(at EQUAL -1)
      fail("udev rule line without ${part}: ${line}")
    endif()
  endforeach()
endforeach()
# vendor:product, chip
foreach(chip "0403:6001 FTDI FT232R" "0403:6015 FTDI FT-X" "067b:2303 Prolific PL2303"
    "067b:23a3 Prolific PL2303GC" "10c4:ea60 Silicon Labs CP2102" "1a86:7523 WCH CH340"
    "1a86:5523 WCH CH341")
  string(REGEX MATCH "^[^ ]+" id "${chip}")
  list(FIND covered_chips ${id} at)
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
# The user's settings survive the next start; a newer template reaches them.
file(WRITE ${folder}/conf/zme.ini "[Port]\r\nCOM=7\r\n")
file(WRITE ${shipped}/conf/report.frf "template 2")
run(${launch})
file(READ ${folder}/conf/zme.ini ini)
file(READ ${folder}/conf/report.frf template)
if(NOT ini MATCHES "COM=7" OR NOT template STREQUAL "template 2")
  fail("second start: settings '${ini}', template '${template}'")
endif()

# The folder is the user's alone, also when an earlier version left it open.
function(mode_of path out)
  run(stat -c %a ${path})
  string(STRIP "${run_output}" mode)
  set(${out} ${mode} PARENT_SCOPE)
endfunction()
mode_of(${folder} folder_mode)
mode_of(${folder}/conf/zme.ini settings_mode)
if(NOT folder_mode STREQUAL "700" OR NOT settings_mode STREQUAL "600")
  fail("the user's folder is ${folder_mode}, its settings ${settings_mode}; expected 700 and 600")
endif()
file(CHMOD ${folder} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
run(${launch})
mode_of(${folder} folder_mode)
if(NOT folder_mode STREQUAL "700")
  fail("a folder left open by an earlier version stays ${folder_mode}")
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

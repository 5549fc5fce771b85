# Checks the program's desktop entry as an install writes it, into a
# scratch prefix whose name needs quoting (a blank, a '$' and a double
# quote) and that is not on PATH:
#
# - TryExec names the installed program by its absolute path, and the Exec
#   line, taken apart as a desktop launcher takes it apart (the value's
#   escapes, then the quoting), starts that program, not one found on PATH
#   (a stand-in there says so and fails). The installed program is then
#   replaced by a stand-in that prints its working folder: the program must
#   start in its own data folder, ${XDG_DATA_HOME:-$HOME/.local/share}/vellumcraft,
#   made when missing, never in the home folder, where it would read and
#   replace an unrelated config.txt;
# - desktop-file-validate must find nothing to say about it: no error, no
#   warning, no hint. Without the tool (VK_DESKTOP_VALIDATE empty or not
#   found) it says so and the test is reported as skipped.
#
#   cmake -DVK_DESKTOP_VALIDATE=<desktop-file-validate> -DVK_DESKTOP_BUILD=<build folder>
#         -DVK_DESKTOP_BINDIR=<bin> -DVK_DESKTOP_DATADIR=<share>
#         -DVK_DESKTOP_WORK=<scratch folder> -P cmake/check_desktop.cmake

cmake_policy(VERSION 3.25)  # quoted if() arguments are never variable names

foreach(var VK_DESKTOP_BUILD VK_DESKTOP_BINDIR VK_DESKTOP_DATADIR VK_DESKTOP_WORK)
  if(NOT ${var})
    message(FATAL_ERROR "check_desktop: ${var} is not set")
  endif()
endforeach()
if(IS_ABSOLUTE "${VK_DESKTOP_BINDIR}" OR IS_ABSOLUTE "${VK_DESKTOP_DATADIR}")
  message(FATAL_ERROR "check_desktop: the build installs outside its prefix; the check would write there")
endif()

# The Exec value as its arguments (a CMake list). A ';' would split an
# argument here, so an entry holding one is refused rather than misread.
function(desktop_exec_args entry out)
  file(STRINGS "${entry}" lines REGEX "^Exec=")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "check_desktop: want one Exec line, found ${count}")
  endif()
  string(SUBSTRING "${lines}" 5 -1 raw)
  if(raw MATCHES ";")
    message(FATAL_ERROR "check_desktop: the check cannot take apart an Exec line holding ';'")
  endif()
  # The escapes of a string value: \s \n \t \r \\.
  set(value "")
  string(LENGTH "${raw}" n)
  set(i 0)
  while(i LESS n)
    string(SUBSTRING "${raw}" ${i} 1 c)
    math(EXPR i "${i} + 1")
    if(c STREQUAL "\\" AND i LESS n)
      string(SUBSTRING "${raw}" ${i} 1 c)
      math(EXPR i "${i} + 1")
      if(c STREQUAL "s")
        set(c " ")
      elseif(c STREQUAL "n")
        set(c "\n")
      elseif(c STREQUAL "t")
        set(c "\t")
      elseif(c STREQUAL "r")
        set(c "\r")
      elseif(NOT c STREQUAL "\\")
        message(FATAL_ERROR "check_desktop: invalid escape \\${c} in the Exec line")
      endif()
    endif()
    string(APPEND value "${c}")
  endwhile()
  # The quoting: arguments split at blanks outside double quotes; inside
  # them a backslash takes the next character literally. "%%" is a '%';
  # the entry takes no files, so another field code stands for nothing.
  set(args "")
  set(arg "")
  set(in_arg FALSE)
  set(quoted FALSE)
  string(LENGTH "${value}" n)
  set(i 0)
  while(i LESS n)
    string(SUBSTRING "${value}" ${i} 1 c)
    math(EXPR i "${i} + 1")
    if(quoted)
      if(c STREQUAL "\"")
        set(quoted FALSE)
        continue()
      elseif(c STREQUAL "\\" AND i LESS n)
        string(SUBSTRING "${value}" ${i} 1 c)
        math(EXPR i "${i} + 1")
      endif()
    elseif(c STREQUAL " ")
      if(in_arg)
        list(APPEND args "${arg}")
      endif()
      set(arg "")
      set(in_arg FALSE)
      continue()
    elseif(c STREQUAL "\"")
      set(quoted TRUE)
      set(in_arg TRUE)
      continue()
    elseif(c STREQUAL "%" AND i LESS n)
      string(SUBSTRING "${value}" ${i} 1 c)
      math(EXPR i "${i} + 1")
      if(NOT c STREQUAL "%")
        continue()
      endif()
    endif()
    string(APPEND arg "${c}")
    set(in_arg TRUE)
  endwhile()
  if(quoted)
    message(FATAL_ERROR "check_desktop: unbalanced quotes in the Exec line")
  endif()
  if(in_arg)
    list(APPEND args "${arg}")
  endif()
  set(${out} "${args}" PARENT_SCOPE)
endfunction()

# The value of a string key, its escapes undone.
function(desktop_string entry key out)
  file(STRINGS "${entry}" lines REGEX "^${key}=")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "check_desktop: want one ${key} line, found ${count}")
  endif()
  string(LENGTH "${key}=" skip)
  string(SUBSTRING "${lines}" ${skip} -1 value)
  string(REPLACE "\\\\" "\\" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

set(work "${VK_DESKTOP_WORK}")
file(REMOVE_RECURSE "${work}")
set(prefix "${work}/prefix $HOME \"x\"")
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DESTDIR
                        ${CMAKE_COMMAND} --install "${VK_DESKTOP_BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_desktop: the install into ${prefix} failed (status ${status}):\n${said}")
endif()
set(VK_DESKTOP_ENTRY "${prefix}/${VK_DESKTOP_DATADIR}/applications/vellumcraft.desktop")
set(program "${prefix}/${VK_DESKTOP_BINDIR}/vellumcraft")
if(NOT EXISTS "${VK_DESKTOP_ENTRY}")
  message(FATAL_ERROR "check_desktop: the install wrote no ${VK_DESKTOP_ENTRY}")
endif()

desktop_string("${VK_DESKTOP_ENTRY}" TryExec try_exec)
if(NOT try_exec STREQUAL program)
  message(FATAL_ERROR "check_desktop: TryExec names\n  ${try_exec}\nnot the installed program\n  ${program}")
endif()
desktop_exec_args("${VK_DESKTOP_ENTRY}" exec_args)

# A home and a data folder whose names need the quoting too; the installed
# program replaced by one that prints its working folder, and one of the
# same name first on PATH that must not be started.
set(home "${work}/home dir")
set(data "${work}/data $HOME \"x\"")
file(MAKE_DIRECTORY "${home}" "${work}/bin")
file(WRITE "${work}/vellumcraft.in" "#!/bin/sh\npwd\n")
file(WRITE "${work}/decoy.in" "#!/bin/sh\necho \"the vellumcraft on PATH was started\"\nexit 1\n")
file(REMOVE "${program}")
file(COPY_FILE "${work}/vellumcraft.in" "${program}")
file(COPY_FILE "${work}/decoy.in" "${work}/bin/vellumcraft")
file(CHMOD "${program}" "${work}/bin/vellumcraft" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# Each case: the XDG_DATA_HOME setting given to cmake -E env, and the
# folder the program must start in.
set(case_env_1 "--unset=XDG_DATA_HOME")
set(case_dir_1 "${home}/.local/share/vellumcraft")
set(case_env_2 "XDG_DATA_HOME=")
set(case_dir_2 "${home}/.local/share/vellumcraft")
set(case_env_3 "XDG_DATA_HOME=${data}")
set(case_dir_3 "${data}/vellumcraft")
foreach(k 1 2 3)
  file(REMOVE_RECURSE "${home}/.local" "${data}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "${case_env_${k}}" "HOME=${home}"
                          "PATH=${work}/bin:$ENV{PATH}" ${exec_args}
                  WORKING_DIRECTORY "${home}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0 OR NOT said STREQUAL "${case_dir_${k}}")
    message(FATAL_ERROR "check_desktop: with ${case_env_${k}} the Exec line "
                        "(${exec_args}) started the program in\n  ${said}\n(status ${status}), "
                        "not in\n  ${case_dir_${k}}")
  endif()
endforeach()
message("check_desktop: the Exec line starts the installed program in its own data folder")

if(NOT VK_DESKTOP_VALIDATE)
  message("check_desktop: desktop-file-validate not found; skipped")
  return()
endif()

execute_process(COMMAND ${VK_DESKTOP_VALIDATE} "${VK_DESKTOP_ENTRY}"
                RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0 OR NOT said STREQUAL "")
  message(FATAL_ERROR "check_desktop: desktop-file-validate (status ${status}):\n${said}")
endif()
message("check_desktop: ${VK_DESKTOP_ENTRY} is valid")

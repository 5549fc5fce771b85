# Checks the program's desktop entry in two ways:
#
# - its Exec line, taken apart as a desktop launcher takes it apart (the
#   value's escapes, then the quoting), is run with a stand-in `vellumcraft`
#   first on PATH that prints its working folder: the program must start in
#   its own data folder, ${XDG_DATA_HOME:-$HOME/.local/share}/vellumcraft,
#   made when missing, never in the home folder, where it would read and
#   replace an unrelated config.txt;
# - desktop-file-validate must find nothing to say about it: no error, no
#   warning, no hint. Without the tool (VK_DESKTOP_VALIDATE empty or not
#   found) it says so and the test is reported as skipped.
#
#   cmake -DVK_DESKTOP_VALIDATE=<desktop-file-validate> -DVK_DESKTOP_ENTRY=<file.desktop>
#         -DVK_DESKTOP_WORK=<scratch folder> -P cmake/check_desktop.cmake

cmake_policy(VERSION 3.25)  # quoted if() arguments are never variable names

if(NOT VK_DESKTOP_ENTRY)
  message(FATAL_ERROR "check_desktop: VK_DESKTOP_ENTRY is not set")
endif()
if(NOT EXISTS ${VK_DESKTOP_ENTRY})
  message(FATAL_ERROR "check_desktop: ${VK_DESKTOP_ENTRY} does not exist")
endif()
if(NOT VK_DESKTOP_WORK)
  message(FATAL_ERROR "check_desktop: VK_DESKTOP_WORK is not set")
endif()

# The Exec value as its arguments (a CMake list). A ';' would split an
# argument here, so an entry holding one is refused rather than misread.
function(desktop_exec_args entry out)
  file(STRINGS ${entry} lines REGEX "^Exec=")
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

desktop_exec_args(${VK_DESKTOP_ENTRY} exec_args)

# A home and a data folder whose names need the quoting: a blank, a '$'
# and a double quote.
set(work "${VK_DESKTOP_WORK}")
file(REMOVE_RECURSE "${work}")
set(home "${work}/home dir")
set(data "${work}/data $HOME \"x\"")
file(MAKE_DIRECTORY "${home}" "${work}/bin")
file(WRITE "${work}/vellumcraft.in" "#!/bin/sh\npwd\n")
file(COPY_FILE "${work}/vellumcraft.in" "${work}/bin/vellumcraft")
file(CHMOD "${work}/bin/vellumcraft" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

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
message("check_desktop: the Exec line starts the program in its own data folder")

if(NOT VK_DESKTOP_VALIDATE)
  message("check_desktop: desktop-file-validate not found; skipped")
  return()
endif()

execute_process(COMMAND ${VK_DESKTOP_VALIDATE} ${VK_DESKTOP_ENTRY}
                RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0 OR NOT said STREQUAL "")
  message(FATAL_ERROR "check_desktop: desktop-file-validate (status ${status}):\n${said}")
endif()
message("check_desktop: ${VK_DESKTOP_ENTRY} is valid")

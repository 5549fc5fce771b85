# Fails when desktop-file-validate finds anything to say about the
# program's desktop entry: an error, a warning or a hint. Without the tool
# (VK_DESKTOP_VALIDATE empty or not found) it says so and the test is
# reported as skipped.
#
#   cmake -DVK_DESKTOP_VALIDATE=<desktop-file-validate> -DVK_DESKTOP_ENTRY=<file.desktop>
#         -P cmake/check_desktop.cmake

if(NOT VK_DESKTOP_ENTRY)
  message(FATAL_ERROR "check_desktop: VK_DESKTOP_ENTRY is not set")
endif()
if(NOT EXISTS ${VK_DESKTOP_ENTRY})
  message(FATAL_ERROR "check_desktop: ${VK_DESKTOP_ENTRY} does not exist")
endif()
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

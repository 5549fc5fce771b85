# Installs the desktop entry naming the installed program by its absolute
# path, so that the desktop's launcher starts it whether or not the prefix
# is on PATH. Run at install time (install(CODE) in app.cmake), when the
# prefix is known: `cmake --install --prefix` may give another one than the
# build was configured with. The path is the program's final place: a
# DESTDIR, where a package is staged, is no part of it.
#
# In: VK_DESKTOP_TEMPLATE (the entry with @VK_DESKTOP_TRYEXEC@ and
# @VK_DESKTOP_EXEC_ARG@), VK_DESKTOP_BINDIR, VK_DESKTOP_DATADIR (as
# GNUInstallDirs gives them), VK_DESKTOP_OUT (a scratch file), and
# CMAKE_INSTALL_PREFIX.

function(vk_desktop_full dir out)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

vk_desktop_full("${VK_DESKTOP_BINDIR}" bindir)
vk_desktop_full("${VK_DESKTOP_DATADIR}" datadir)
set(program "${bindir}/vellumcraft")
if(program MATCHES "[\n\r\t]")
  message(FATAL_ERROR "install_desktop: a desktop entry cannot name the program ${program}")
endif()

# TryExec is a string value: a backslash is written doubled.
string(REPLACE "\\" "\\\\" VK_DESKTOP_TRYEXEC "${program}")
# The Exec line's argument: quoted whole, with '\', '"', '`' and '$'
# escaped by a backslash inside the quotes and '%' doubled; then, the line
# being a string value, every backslash doubled.
set(arg "${program}")
string(REPLACE "\\" "\\\\" arg "${arg}")
string(REPLACE "\"" "\\\"" arg "${arg}")
string(REPLACE "`" "\\`" arg "${arg}")
string(REPLACE "$" "\\$" arg "${arg}")
string(REPLACE "%" "%%" arg "${arg}")
string(REPLACE "\\" "\\\\" arg "${arg}")
set(VK_DESKTOP_EXEC_ARG "\"${arg}\"")

configure_file("${VK_DESKTOP_TEMPLATE}" "${VK_DESKTOP_OUT}" @ONLY)
file(INSTALL DESTINATION "${datadir}/applications" TYPE FILE FILES "${VK_DESKTOP_OUT}")

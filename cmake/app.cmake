# The application: vk_app holds the main dialog's logic, the options and
# the run without a window (no Qt); vk_app_qt the Qt windows; the program
# `vellumcraft` is app/main.cpp over them, installed into bin/ (with a
# desktop entry and an icon when it has its window). Built with
# VK_WITH_QT=OFF the program runs without a window only.

if(NOT TARGET vk_sitegen OR NOT TARGET vk_platform)
  return()
endif()

file(GLOB vk_app_all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/app/*.cpp)
set(vk_app_sources)
set(vk_app_qt_sources)
foreach(src IN LISTS vk_app_all)
  get_filename_component(base ${src} NAME_WE)
  if(base STREQUAL "main")
    continue()
  elseif(base MATCHES "^qt_")
    list(APPEND vk_app_qt_sources ${src})
  else()
    list(APPEND vk_app_sources ${src})
  endif()
endforeach()

add_library(vk_app STATIC ${vk_app_sources})
target_include_directories(vk_app PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vk_app PUBLIC vk_sitegen vk_html vk_script vk_platform vk_runtime)

add_executable(vellumcraft ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp)
if(TARGET vk_platform_qt AND vk_app_qt_sources)
  add_library(vk_app_qt STATIC ${vk_app_qt_sources})
  target_include_directories(vk_app_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vk_app_qt PUBLIC vk_app vk_platform_qt Qt6::Widgets)
  target_compile_definitions(vellumcraft PRIVATE VK_APP_WITH_QT)
  target_link_libraries(vellumcraft PRIVATE vk_app_qt)
else()
  target_link_libraries(vellumcraft PRIVATE vk_app)
endif()

include(GNUInstallDirs)
install(TARGETS vellumcraft RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# With its window the program is a desktop program: its entry puts it in
# the desktop's menu, with its icon. A program without a window, started
# from a menu without a terminal, would show nothing, so it gets neither.
# The entry names the program where it is installed, which only the
# install knows (its prefix may be given then).
if(TARGET vk_app_qt)
  install(CODE "
    set(VK_DESKTOP_TEMPLATE [[${CMAKE_CURRENT_SOURCE_DIR}/desktop/vellumcraft.desktop.in]])
    set(VK_DESKTOP_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
    set(VK_DESKTOP_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
    set(VK_DESKTOP_OUT [[${CMAKE_CURRENT_BINARY_DIR}/desktop/vellumcraft.desktop]])
    include([[${CMAKE_CURRENT_SOURCE_DIR}/cmake/install_desktop.cmake]])")
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/desktop/vellumcraft.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

if(NOT BUILD_TESTING)
  return()
endif()

# The desktop entry an install writes starts the installed program, in its
# own data folder (not in the home folder), with the prefix off PATH, and
# passes desktop-file-validate (that part skipped where the tool is not
# installed; Debian: desktop-file-utils).
if(TARGET vk_app_qt)
  find_program(VK_DESKTOP_VALIDATE desktop-file-validate)
  add_test(NAME desktop_entry
           COMMAND ${CMAKE_COMMAND} -DVK_DESKTOP_VALIDATE=${VK_DESKTOP_VALIDATE}
                   -DVK_DESKTOP_BUILD=${CMAKE_BINARY_DIR}
                   -DVK_DESKTOP_BINDIR=${CMAKE_INSTALL_BINDIR} -DVK_DESKTOP_DATADIR=${CMAKE_INSTALL_DATADIR}
                   -DVK_DESKTOP_WORK=${CMAKE_CURRENT_BINARY_DIR}/desktop_entry_check
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check_desktop.cmake)
  set_tests_properties(desktop_entry PROPERTIES SKIP_REGULAR_EXPRESSION "desktop-file-validate not found")
endif()

# One program per test file; qt_*_test.cpp files drive the Qt windows and
# are built only with Qt. The tests know the program and the bundled
# example site.
file(GLOB vk_app_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/app/*_test.cpp)
file(GLOB vk_app_test_helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/app/*_support.cpp)
foreach(test IN LISTS vk_app_tests)
  get_filename_component(base ${test} NAME_WE)
  set(libs vk_app)
  if(base MATCHES "^qt_")
    if(NOT TARGET vk_app_qt OR NOT Qt6Test_FOUND)
      continue()
    endif()
    set(libs vk_app_qt Qt6::Widgets Qt6::Test)
  endif()
  add_executable(app_${base} ${test} ${vk_app_test_helpers})
  target_include_directories(app_${base} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(app_${base} PRIVATE ${libs} GTest::gtest GTest::gtest_main)
  target_compile_definitions(app_${base} PRIVATE
    VK_APP_EXE="$<TARGET_FILE:vellumcraft>"
    VK_EXAMPLES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/examples")
  add_dependencies(app_${base} vellumcraft)
  gtest_discover_tests(app_${base} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
endforeach()

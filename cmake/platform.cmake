# The user-interface layer: the console and fake backends (no Qt) in
# vk_platform, the Qt 6 Widgets backend in vk_platform_qt. Only these
# targets (and the application) include Qt.

add_library(vk_platform STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/console_backend.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/fake_backend.cpp)
target_include_directories(vk_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vk_platform PUBLIC vk_runtime)

# The window needs Qt 6 Widgets: asking for it without Qt stops here rather
# than giving a program that has no window. Qt 6 Test is needed only by the
# tests that drive the Qt windows.
if(VK_WITH_QT)
  find_package(Qt6 COMPONENTS Widgets OPTIONAL_COMPONENTS Test)
  if(NOT Qt6Widgets_FOUND)
    message(FATAL_ERROR
      "VK_WITH_QT is ON (the default), which builds the program's window, but Qt 6 Widgets was not found. "
      "Install it (Debian: qt6-base-dev) or point CMAKE_PREFIX_PATH at a Qt 6 installation; "
      "or configure with -DVK_WITH_QT=OFF to build the program without a window.")
  endif()
endif()
if(VK_WITH_QT)
  add_library(vk_platform_qt STATIC ${CMAKE_CURRENT_SOURCE_DIR}/platform/qt_backend.cpp)
  target_include_directories(vk_platform_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vk_platform_qt PUBLIC vk_platform vk_runtime Qt6::Widgets)
endif()

# One program per test file. Files named qt_*_test.cpp drive the Qt backend
# and are built only when Qt is found.
if(NOT BUILD_TESTING)
  return()
endif()
file(GLOB vk_platform_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/platform/*_test.cpp)
foreach(test IN LISTS vk_platform_tests)
  get_filename_component(base ${test} NAME_WE)
  set(libs vk_platform vk_runtime)
  if(base MATCHES "^qt_")
    if(NOT TARGET vk_platform_qt OR NOT Qt6Test_FOUND)
      continue()
    endif()
    list(APPEND libs vk_platform_qt Qt6::Widgets Qt6::Test)
  endif()
  add_executable(platform_${base} ${test})
  target_include_directories(platform_${base} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(platform_${base} PRIVATE ${libs} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(platform_${base} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
endforeach()

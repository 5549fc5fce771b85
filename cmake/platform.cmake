# The user-interface layer: the console and fake backends (no Qt) in
# vk_platform, the Qt 6 Widgets backend in vk_platform_qt. Only these
# targets (and the application) include Qt.

add_library(vk_platform STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/console_backend.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/fake_backend.cpp)
target_include_directories(vk_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vk_platform PUBLIC vk_runtime)

if(VK_WITH_QT)
  find_package(Qt6 COMPONENTS Widgets Test)
endif()
if(VK_WITH_QT AND Qt6Widgets_FOUND)
  add_library(vk_platform_qt STATIC ${CMAKE_CURRENT_SOURCE_DIR}/platform/qt_backend.cpp)
  target_include_directories(vk_platform_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vk_platform_qt PUBLIC vk_platform vk_runtime Qt6::Widgets)
endif()

# One program per test file. Files named qt_*_test.cpp drive the Qt backend
# and are built only when Qt is found.
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

# Fails, naming each offending line, when a file includes a header of a
# subsystem above its own. From the bottom: runtime; script and platform;
# html; sitegen; app. A file may include headers of its own subsystem and of
# those strictly below it (script and platform not each other); the tests
# in tests/<subsystem>/ keep to their subsystem's rule.
#
#   cmake -DVK_SOURCE_DIR=<source tree> -P cmake/check_layers.cmake

if(NOT VK_SOURCE_DIR)
  message(FATAL_ERROR "check_layers: VK_SOURCE_DIR is not set")
endif()

set(vk_layers runtime script platform html sitegen app)
set(vk_rank_runtime 0)
set(vk_rank_script 1)
set(vk_rank_platform 1)
set(vk_rank_html 2)
set(vk_rank_sitegen 3)
set(vk_rank_app 4)

set(vk_checked 0)
set(vk_upward 0)
foreach(layer IN LISTS vk_layers)
  file(GLOB files LIST_DIRECTORIES false
       ${VK_SOURCE_DIR}/${layer}/*.h ${VK_SOURCE_DIR}/${layer}/*.cpp
       ${VK_SOURCE_DIR}/tests/${layer}/*.h ${VK_SOURCE_DIR}/tests/${layer}/*.cpp)
  foreach(file IN LISTS files)
    math(EXPR vk_checked "${vk_checked} + 1")
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      if(NOT line MATCHES "include[ \t]*[<\"](\\.\\./)*([a-z_]+)/")
        continue()
      endif()
      set(target ${CMAKE_MATCH_2})
      if(NOT DEFINED vk_rank_${target} OR target STREQUAL layer)
        continue()
      endif()
      if(NOT vk_rank_${target} LESS vk_rank_${layer})
        file(RELATIVE_PATH name ${VK_SOURCE_DIR} ${file})
        message("${name}: ${line} (${layer} may not include ${target})")
        math(EXPR vk_upward "${vk_upward} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(vk_checked EQUAL 0)
  message(FATAL_ERROR "check_layers: no source files under ${VK_SOURCE_DIR}")
endif()
if(vk_upward GREATER 0)
  message(FATAL_ERROR "check_layers: ${vk_upward} include(s) point upward")
endif()
message("check_layers: ${vk_checked} files, no include points upward")

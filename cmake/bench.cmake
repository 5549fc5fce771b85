# The generation benchmark: a program, not a test (run it by hand).
if(TARGET vk_sitegen AND TARGET vk_platform)
  add_executable(vk_site_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/site_bench.cpp)
  target_link_libraries(vk_site_bench PRIVATE vk_sitegen vk_platform)
endif()

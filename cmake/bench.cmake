# The benchmarks: programs, not tests (run them by hand; see the README).
if(TARGET vk_sitegen AND TARGET vk_platform)
  add_executable(vk_site_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/site_bench.cpp)
  target_link_libraries(vk_site_bench PRIVATE vk_sitegen vk_platform)
endif()
if(TARGET vk_script)
  add_executable(vk_script_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/script_bench.cpp)
  target_link_libraries(vk_script_bench PRIVATE vk_script)
endif()

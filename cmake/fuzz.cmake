# Fuzz targets, one per fuzz/<target>_fuzz.cpp. With VK_FUZZ (clang) each is
# a libFuzzer program vk_fuzz_<target>; in the normal build (with
# BUILD_TESTING) each is a replay program that runs the target once over
# every file of its seed corpus fuzz/corpus/<target>/, one test per file.
# Reproducers still failing are kept in fuzz/open/ and are not replayed.

if(NOT TARGET vk_sitegen OR NOT (VK_FUZZ OR BUILD_TESTING))
  return()
endif()

file(GLOB vk_fuzz_targets CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(src IN LISTS vk_fuzz_targets)
  get_filename_component(base ${src} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" target ${base})
  if(VK_FUZZ)
    add_executable(vk_fuzz_${target} ${src} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_support.cpp)
    target_link_options(vk_fuzz_${target} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(vk_fuzz_${target} ${src} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_support.cpp
                   ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/replay_main.cpp)
    file(GLOB seeds CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${target}/*)
    foreach(seed IN LISTS seeds)
      get_filename_component(seed_name ${seed} NAME)
      add_test(NAME fuzz_replay.${target}.${seed_name} COMMAND vk_fuzz_${target} ${seed})
    endforeach()
  endif()
  target_include_directories(vk_fuzz_${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
  target_link_libraries(vk_fuzz_${target} PRIVATE vk_sitegen)
endforeach()

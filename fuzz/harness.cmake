# The harness functions and their seed generator, in every build: the
# normal build replays them in tests/fuzzreplay, the fuzz build links them
# into one libFuzzer program per target (fuzz/CMakeLists.txt).
add_library(fuzz_harness STATIC
  ${CMAKE_SOURCE_DIR}/fuzz/harness.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/seeds_image.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/seeds_sound.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/seeds_other.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/seeds_assets.cpp
  ${CMAKE_SOURCE_DIR}/tools/pack/pack_reader.cpp
  ${CMAKE_SOURCE_DIR}/tools/pack/pack_writer.cpp
  ${CMAKE_SOURCE_DIR}/tools/pack/pack_compress.cpp)
target_include_directories(fuzz_harness PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(fuzz_harness PUBLIC game engine platform_headless)
if(VORBISENC_FOUND)
  target_link_libraries(fuzz_harness PUBLIC PkgConfig::VORBISENC)
endif()

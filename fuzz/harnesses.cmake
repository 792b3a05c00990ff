# The fuzz harnesses: name, sources (in fuzz/) and libraries. The fuzz build
# makes fuzz_<name> with libFuzzer; the ordinary build makes replay_<name>,
# which runs the same harness on every file of fuzz/corpus/<name>.
set(OSTRANDER_FUZZ_HARNESSES ini map mirror pattern)
set(OSTRANDER_FUZZ_ini_SOURCES IniFileFuzz.cpp)
set(OSTRANDER_FUZZ_ini_LIBS ostrander_toolkit)
set(OSTRANDER_FUZZ_map_SOURCES MapFileFuzz.cpp)
set(OSTRANDER_FUZZ_map_LIBS ostrander_mirror)
set(OSTRANDER_FUZZ_mirror_SOURCES MirrorFuzz.cpp)
set(OSTRANDER_FUZZ_mirror_LIBS ostrander_mirror ostrander_pattern ostrander_driver)
set(OSTRANDER_FUZZ_pattern_SOURCES PatternFuzz.cpp)
set(OSTRANDER_FUZZ_pattern_LIBS ostrander_pattern)

# ostrander_fuzz_target(target harness [extra sources...])
function(ostrander_fuzz_target target harness)
  set(sources)
  foreach(source ${OSTRANDER_FUZZ_${harness}_SOURCES} FuzzSupport.cpp)
    list(APPEND sources ${CMAKE_SOURCE_DIR}/fuzz/${source})
  endforeach()
  add_executable(${target} ${sources} ${ARGN})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${OSTRANDER_FUZZ_${harness}_LIBS})
endfunction()

# Runs the built kyrpatch with a few command lines and checks exit codes and streams.
# Usage: cmake -DKYRPATCH=path/to/kyrpatch -P kyrpatch_program.cmake
function(expect args code stream pattern)
  execute_process(COMMAND ${KYRPATCH} ${args}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL code)
    message(FATAL_ERROR "kyrpatch ${args}: exit ${result}, expected ${code}\n${out}${err}")
  endif()
  if(NOT "${${stream}}" MATCHES "${pattern}")
    message(FATAL_ERROR "kyrpatch ${args}: ${stream} does not match '${pattern}':\n${${stream}}")
  endif()
endfunction()

expect("--help" 0 out "Usage: kyrpatch")
expect("--version" 0 out "^kyrpatch [0-9]+\\.[0-9]+\n$")
expect("" 2 err "usage: kyrpatch")
expect("install;--game;x;--prefix;y" 2 err "not both")

# Without --game the game is looked for in Wine prefixes below HOME: here there are none.
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/kyrpatch-home)
set(KYRPATCH ${CMAKE_COMMAND} -E env HOME=${CMAKE_CURRENT_BINARY_DIR}/kyrpatch-home
    --unset=WINEPREFIX ${KYRPATCH})
expect("install" 1 err "no installed .*--game DIR")
expect("find-game" 1 err "no installed .*--game DIR")
expect("-C;/nonexistent-kyr-folder;status" 1 err "cannot work in")

file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/kyrpatch-empty)
expect("-C;${CMAKE_CURRENT_BINARY_DIR}/kyrpatch-empty;install;--game;/" 1 err
       "^Can't find installion package!  Aborting install!\n$")
expect("-C;${CMAKE_CURRENT_BINARY_DIR}/kyrpatch-empty;status" 0 out "No install is recorded")

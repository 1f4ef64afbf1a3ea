# Delay-loaded system libraries. vespera.exe's block-all path refuses a call with
# nothing but the shell library and user32; COM, the common controls and the shell
# API are only loaded when the program first calls into them.
#
# delay_load_library(NAME) defines the imported target delay::NAME from a delay-import
# library that dlltool makes out of the export names of MinGW's own import library.
find_program(VESPERA_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool x86_64-w64-mingw32-dlltool REQUIRED)
find_program(VESPERA_NM NAMES ${TOOLCHAIN_PREFIX}-nm x86_64-w64-mingw32-nm REQUIRED)
find_library(VESPERA_DELAYIMP delayimp REQUIRED)

function(delay_load_library name)
  find_library(import_${name} ${name} REQUIRED)
  set(def ${CMAKE_BINARY_DIR}/delay/${name}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay/lib${name}_delay.a)
  if(NOT EXISTS ${lib})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay)
    execute_process(COMMAND ${VESPERA_NM} -g ${import_${name}} OUTPUT_VARIABLE symbols
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(failed)
      message(FATAL_ERROR "cannot list the exports of ${import_${name}}")
    endif()
    string(REGEX MATCHALL "I __imp_[A-Za-z0-9_@]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE "^I __imp_" "    ")
    list(REMOVE_DUPLICATES imports)
    list(JOIN imports "\n" exports)
    file(WRITE ${def} "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${VESPERA_DLLTOOL} --output-delaylib ${lib} -d ${def} -D ${name}.dll
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dlltool could not make ${lib}")
    endif()
  endif()
  add_library(delay::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(delay::${name} PROPERTIES IMPORTED_LOCATION ${lib}
                        INTERFACE_LINK_LIBRARIES ${VESPERA_DELAYIMP})
endfunction()

# cmake -DSOURCE=<repository> -DWORK=<folder> -DEPOCH=<seconds> -DTOOLCHAIN=<file in the repository>
#       "-DARGS=<cache settings>" -DBUILT=<build folder> "-DFILES=<files of a build>"
#       "-DNAMER=<first_difference under Wine>" -P Rebuild.cmake
# The product built a second time, from a copy of the sources in another
# folder, under another umask and locale, later: each file must be the same
# bytes as the first build's. A difference is named by its offset and the
# structure it falls in.
set(copy ${WORK}/elsewhere/sources)
set(build ${WORK}/elsewhere/out)
file(REMOVE_RECURSE ${WORK}/elsewhere)
file(MAKE_DIRECTORY ${copy})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(failed)
    message(FATAL_ERROR "Could not ${what}:\n${said}")
  endif()
endfunction()

# The sources as they are, changes not yet committed included.
run("copy the sources" tar -C ${SOURCE} --exclude=./build --exclude-vcs -cf - . COMMAND tar -C ${copy} -xf -)
set(again env SOURCE_DATE_EPOCH=${EPOCH} LC_ALL=C sh -c "umask 077 && exec \"$@\"" sh)
run("configure the second build" ${again} ${CMAKE_COMMAND} -S ${copy} -B ${build} --toolchain ${copy}/${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=MinSizeRel ${ARGS})
run("build Setup a second time" ${again} ${CMAKE_COMMAND} --build ${build} --target Setup)

set(differences)
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILT}/${file} ${build}/${file} RESULT_VARIABLE differs)
  if(differs)
    # Wine's own notes, such as a new prefix, go to the error stream.
    execute_process(COMMAND ${NAMER} Z:${BUILT}/${file} Z:${build}/${file}
                    OUTPUT_VARIABLE where ERROR_VARIABLE wine_said OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT where)
      set(where "differs; first_difference could not say where: ${wine_said}")
    endif()
    string(APPEND differences "\n  ${file}: ${where}")
  endif()
endforeach()
if(differences)
  message(FATAL_ERROR "Built again from a copy of the sources in ${copy}, these differ from ${BUILT} "
                      "(if the sources changed after that build, build it again first):${differences}")
endif()
message(STATUS "Built again in ${build}, the same bytes: ${FILES}")

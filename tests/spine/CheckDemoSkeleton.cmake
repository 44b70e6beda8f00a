# Writes the demo skeleton into WORK and compares its skeleton and atlas with
# the committed copies of the demo and of the guide's example. (The page is
# not compared: another libpng may compress the same pixels differently.)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${TOOL} ${WORK} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_demo_skeleton failed: ${result}")
endif()
foreach(root demo docs/examples/skeletons)
  foreach(file 1.skel 1.atlas)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/001/${file}
                            ${SOURCE}/${root}/loader/img/001/${file} RESULT_VARIABLE different)
    if(different)
      message(FATAL_ERROR "${root}/loader/img/001/${file} is not what the writer makes: "
                          "run scripts/make-demo-skeleton.sh")
    endif()
  endforeach()
endforeach()

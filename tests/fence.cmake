# cmake -DCOMPILER=c++ -DWORK=dir -DCASES=target|header|ok-or-refused;... -DINCLUDES_<target>=a|b
#   -P fence.cmake
# One include, compiled in a target's own include context: what the target links compiles; a
# layer it does not link (above, beside, or another target of its folder) does not.
file(MAKE_DIRECTORY ${WORK})
foreach(case IN LISTS CASES)
  string(REPLACE "|" ";" case ${case})
  list(GET case 0 target)
  list(GET case 1 header)
  list(GET case 2 expected)
  string(REPLACE "|" ";-I" includes "-I${INCLUDES_${target}}")
  string(MAKE_C_IDENTIFIER ${target}_${header} name)
  file(WRITE ${WORK}/${name}.cpp "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${includes} ${WORK}/${name}.cpp
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(expected STREQUAL "ok" AND NOT rc EQUAL 0)
    message(SEND_ERROR "${target} cannot include ${header}, which it links:\n${out}")
  elseif(expected STREQUAL "refused" AND (rc EQUAL 0 OR NOT out MATCHES "${header}"))
    message(SEND_ERROR "${target} includes ${header}, which it does not link")
  endif()
endforeach()

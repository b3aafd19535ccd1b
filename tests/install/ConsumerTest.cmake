# Installs the built library into a scratch prefix, then configures, builds and runs a
# separate project that finds it with find_package(VtCore141) and with pkg-config.
file(REMOVE_RECURSE ${VT_WORK_DIR})
set(prefix ${VT_WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGV}\n${out}\n${err}")
  endif()
  set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${VT_BUILD_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${VT_CONSUMER_SOURCE} -B ${VT_WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${VT_WORK_DIR}/build)
run(${VT_WORK_DIR}/build/vtcore_consumer)
if(NOT LAST_OUTPUT MATCHES "consumer ok")
  message(FATAL_ERROR "consumer printed: ${LAST_OUTPUT}")
endif()

# pkg-config: the .pc file must name the include root and the library.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} "${prefix}/lib/pkgconfig:${prefix}/lib/x86_64-linux-gnu/pkgconfig")
run(${PKG_CONFIG} --cflags --libs VtCore141)
if(NOT LAST_OUTPUT MATCHES "-lVtCore141" OR NOT LAST_OUTPUT MATCHES "include/VtCore141")
  message(FATAL_ERROR "pkg-config gave: ${LAST_OUTPUT}")
endif()

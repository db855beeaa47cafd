# The module as `cmake --install` leaves it: installed into a prefix of its
# own, it must import, find the engine two folders up (not the build's) and
# create a host object there. Run with -DBUILD=... -DPREFIX=... -DPYTHON=...
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()
set(script [[
import os, sys, velkor
expected = os.path.join(sys.argv[1], "lib", "velkor")
assert velkor.ENGINE_FOLDER == expected, velkor.ENGINE_FOLDER
assert os.environ["VELKOR_LIBRARY"] == os.path.join(expected, "libvelkor.so")
host = velkor.Dispatch("VNXEngine.VNXHost")
assert host.MaxMotors > 0
print("installed module:", velkor.ENGINE_FOLDER)
]])
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=VELKOR_LIBRARY --unset=PYTHONPATH
          PYTHONPATH=${PREFIX}/lib/velkor/python VELKOR_REGISTRY=${PREFIX}/user.reg
          VELKOR_REGISTRY_MACHINE=${PREFIX}/machine.reg XDG_CONFIG_HOME=${PREFIX}/config PYTHONDONTWRITEBYTECODE=1
          ${PYTHON} -c "${script}" ${PREFIX}
  WORKING_DIRECTORY ${PREFIX}
  RESULT_VARIABLE ran)
file(REMOVE_RECURSE ${PREFIX})
if(NOT ran EQUAL 0)
  message(FATAL_ERROR "the installed module did not work: ${ran}")
endif()

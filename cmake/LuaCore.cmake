# One Lua 5.3 core for the whole process, built from Debian's pristine source
# tarball (fetched by scripts/setup.sh) and compiled as C++ so that a script
# error unwinds C++ destructors. The public API keeps C linkage, because the
# statically linked LuaSocket, lua-cjson and LuaFileSystem archives are C.
set(LUA_TARBALL ${CMAKE_SOURCE_DIR}/.deps/lua5.3_5.3.6.orig.tar.gz)
set(LUA_SRC_DIR ${CMAKE_BINARY_DIR}/lua-5.3.6/src)
if(NOT EXISTS ${LUA_TARBALL})
  message(FATAL_ERROR "${LUA_TARBALL} is missing: run scripts/setup.sh (make setup) first")
endif()
if(NOT EXISTS ${LUA_SRC_DIR}/lapi.c)
  file(ARCHIVE_EXTRACT INPUT ${LUA_TARBALL} DESTINATION ${CMAKE_BINARY_DIR})
endif()
# The core's internal functions keep default visibility: our modules built on
# them (and their tests) reach them in the tests' shared engine too.
file(READ ${LUA_SRC_DIR}/luaconf.h LUA_CONF)
string(REPLACE "#define LUAI_FUNC\t__attribute__((visibility(\"hidden\"))) extern"
               "#define LUAI_FUNC\textern" LUA_CONF_VISIBLE "${LUA_CONF}")
if(NOT LUA_CONF_VISIBLE STREQUAL LUA_CONF)
  file(WRITE ${LUA_SRC_DIR}/luaconf.h "${LUA_CONF_VISIBLE}")
endif()

set(LUA_CORE_FILES
  lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes
  lparser lstate lstring ltable ltm lundump lvm lzio
  lauxlib lbaselib lbitlib lcorolib ldblib liolib lmathlib loslib lstrlib
  ltablib lutf8lib loadlib)

# Lua's math opener is renamed: the engine's math library (src/modules)
# takes its place and reuses its functions.
set(LUA_WRAP_PRELUDE_lmathlib "#define luaopen_math luaopen_math_stock")

set(LUA_WRAP_DIR ${CMAKE_BINARY_DIR}/lua-wrap)
set(LUA_WRAPPED_SOURCES)
foreach(name ${LUA_CORE_FILES})
  set(wrapper ${LUA_WRAP_DIR}/${name}.cpp)
  # The C library headers are included before the C-linkage block so that
  # libstdc++'s C++ wrappers of them (templates, overloads) stay outside it.
  file(CONFIGURE OUTPUT ${wrapper} CONTENT
"#include <assert.h>
#include <ctype.h>
#include <errno.h>
#include <float.h>
#include <limits.h>
#include <locale.h>
#include <math.h>
#include <setjmp.h>
#include <signal.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <dlfcn.h>
#include <unistd.h>
${LUA_WRAP_PRELUDE_${name}}
extern \"C\" {
#include \"${LUA_SRC_DIR}/${name}.c\"
}
")
  list(APPEND LUA_WRAPPED_SOURCES ${wrapper})
endforeach()

add_library(lua_core STATIC ${LUA_WRAPPED_SOURCES})
target_include_directories(lua_core SYSTEM PUBLIC ${LUA_SRC_DIR})
target_compile_definitions(lua_core PUBLIC LUA_COMPAT_5_1 LUA_USE_LINUX)
target_compile_options(lua_core PRIVATE -w)
target_link_libraries(lua_core PUBLIC ${CMAKE_DL_LIBS} m)

# Debian's static Lua modules: public API references only, linked before the core.
foreach(archive socket cjson filesystem)
  find_library(LUA_${archive}_ARCHIVE NAMES liblua5.3-${archive}.a REQUIRED)
endforeach()
set(LUA_MODULE_ARCHIVES ${LUA_socket_ARCHIVE} ${LUA_cjson_ARCHIVE} ${LUA_filesystem_ARCHIVE})
# The modules and then the core they call, in that link order. The archives
# are not position-independent, so a shared library cannot hold them: the
# program that loads one links them itself.
add_library(lua_modules INTERFACE)
foreach(archive ${LUA_MODULE_ARCHIVES})
  target_link_libraries(lua_modules INTERFACE
    $<$<NOT:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>>:${archive}>)
endforeach()
target_link_libraries(lua_modules INTERFACE lua_core)

# nlohmann-json, header-only, for the tests' oracles and the registration
# tool's manifest reader (never for the host). The cross build sees Debian's
# copy through a link in the build tree that holds that one folder, since
# adding /usr/include itself would hide the cross compiler's C headers.
find_path(CORV_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(corv_nlohmann_include ${CMAKE_BINARY_DIR}/nlohmann-include)
file(MAKE_DIRECTORY ${corv_nlohmann_include})
file(CREATE_LINK ${CORV_NLOHMANN_JSON_DIR}/nlohmann ${corv_nlohmann_include}/nlohmann SYMBOLIC)
add_library(corv_nlohmann_json INTERFACE)
target_include_directories(corv_nlohmann_json SYSTEM INTERFACE ${corv_nlohmann_include})

# What the packages (./run.sh package, packaging/build_packages.py) are made
# of, decided when the build is configured and written to
# <build>/package-info.json for the package builder.
#
# The closed libraries: empty means our stand-ins from this build, which the
# packages then say they carry.
set(CORVANTILHUB_HARROWMERE_LIBRARY "" CACHE FILEPATH
    "The agent SDK library to package (the real Harrowmere64.dll); empty: the stand-in")
set(CORVANTILHUB_TOLLGATELINK_LIBRARY "" CACHE FILEPATH
    "The designer bridge library to package (the real Tollgatelink.dll); empty: the stand-in")
# The extensions that the packaged manifests allow to start the host. The
# defaults are the test extension's IDs (browser/test/chromium/extension and
# its Firefox add-on form).
set(CORVANTILHUB_CHROMIUM_EXTENSION_IDS "eipcjlpengcbafdfnolahlhjnijkabfh" CACHE STRING
    "Chromium, Chrome and Edge extension IDs (32 letters a-p), separated by semicolons")
set(CORVANTILHUB_FIREFOX_ADDON_IDS "session-test@corvantilhub.example" CACHE STRING
    "Firefox add-on IDs, separated by semicolons")
# Where administrators find help: the MSI's Add/Remove Programs entry and
# the signatures link to it.
set(CORVANTILHUB_HELP_URL "https://corvantilhub.example/help" CACHE STRING
    "The help link of the Windows package")

# The file is put together with string(JSON), so it is valid JSON whatever a
# path or an ID holds.
function(corv_json_quote out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(corv_json_string_array out)
  set(array "[]")
  foreach(item IN LISTS ARGN)
    corv_json_quote(quoted "${item}")
    string(JSON length LENGTH "${array}")
    string(JSON array SET "${array}" ${length} "${quoted}")
  endforeach()
  set(${out} "${array}" PARENT_SCOPE)
endfunction()

function(corv_json_set_string json_variable name value)
  corv_json_quote(quoted "${value}")
  string(JSON json SET "${${json_variable}}" ${name} "${quoted}")
  set(${json_variable} "${json}" PARENT_SCOPE)
endfunction()

set(package_info "{}")
corv_json_set_string(package_info version "${PROJECT_VERSION}")
corv_json_set_string(package_info platform "${CMAKE_SYSTEM_NAME}")
corv_json_set_string(package_info bin_dir "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
corv_json_set_string(package_info harrowmere_library "${CORVANTILHUB_HARROWMERE_LIBRARY}")
corv_json_set_string(package_info tollgatelink_library "${CORVANTILHUB_TOLLGATELINK_LIBRARY}")
corv_json_set_string(package_info help_url "${CORVANTILHUB_HELP_URL}")
corv_json_string_array(chromium_ids ${CORVANTILHUB_CHROMIUM_EXTENSION_IDS})
corv_json_string_array(firefox_ids ${CORVANTILHUB_FIREFOX_ADDON_IDS})
string(JSON package_info SET "${package_info}" chromium_extension_ids "${chromium_ids}")
string(JSON package_info SET "${package_info}" firefox_addon_ids "${firefox_ids}")
# Written as it stands: file(CONFIGURE) would expand ${...} and @...@ in it.
file(WRITE ${CMAKE_BINARY_DIR}/package-info.json "${package_info}\n")

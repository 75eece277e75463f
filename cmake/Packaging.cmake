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

function(corv_json_array out)
  set(items "")
  foreach(item IN LISTS ARGN)
    string(APPEND items "${separator}\"${item}\"")
    set(separator ", ")
  endforeach()
  set(${out} "[${items}]" PARENT_SCOPE)
endfunction()

corv_json_array(chromium_ids ${CORVANTILHUB_CHROMIUM_EXTENSION_IDS})
corv_json_array(firefox_ids ${CORVANTILHUB_FIREFOX_ADDON_IDS})
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/package-info.json @ONLY CONTENT [=[
{
  "version": "@PROJECT_VERSION@",
  "platform": "@CMAKE_SYSTEM_NAME@",
  "bin_dir": "@CMAKE_RUNTIME_OUTPUT_DIRECTORY@",
  "harrowmere_library": "@CORVANTILHUB_HARROWMERE_LIBRARY@",
  "tollgatelink_library": "@CORVANTILHUB_TOLLGATELINK_LIBRARY@",
  "chromium_extension_ids": @chromium_ids@,
  "firefox_addon_ids": @firefox_ids@
}
]=])

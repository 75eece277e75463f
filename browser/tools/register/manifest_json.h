// The native-messaging manifest that tells a browser how to start the host
// and which extensions may do so.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"

namespace registration {

struct HostManifest {
  std::string name;         // the host name that extensions connect to
  std::string description;
  std::string hostPath;     // absolute path of the executable, UTF-8
  std::vector<std::string> extensionIds;  // IDs in the browser's own form
};

// The manifest as `browser` reads it, in UTF-8 JSON. Chromium-family
// browsers get "allowed_origins" entries "chrome-extension://<id>/";
// Firefox gets the add-on IDs in "allowed_extensions".
std::string ManifestJson(Browser browser, const HostManifest& manifest);

// `text` as a JSON string literal, quotation marks included. Bytes from 0x80
// up pass through unchanged, so UTF-8 stays UTF-8.
std::string JsonQuoted(const std::string& text);

}  // namespace registration

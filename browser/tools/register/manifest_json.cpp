#include "manifest_json.h"

#include <cstdio>

namespace registration {

std::string JsonQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", byte);
          quoted += escape;
        } else {
          quoted += c;
        }
    }
  }
  quoted += '"';
  return quoted;
}

std::string ManifestJson(Browser browser, const HostManifest& manifest) {
  const bool chromium = IsChromiumFamily(browser);
  std::string allowed;
  for (const std::string& id : manifest.extensionIds) {
    if (!allowed.empty()) allowed += ", ";
    allowed += JsonQuoted(chromium ? "chrome-extension://" + id + "/" : id);
  }
  std::string json = "{\n";
  json += "  \"name\": " + JsonQuoted(manifest.name) + ",\n";
  json += "  \"description\": " + JsonQuoted(manifest.description) + ",\n";
  json += "  \"path\": " + JsonQuoted(manifest.hostPath) + ",\n";
  json += "  \"type\": \"stdio\",\n";
  json += chromium ? "  \"allowed_origins\": [" : "  \"allowed_extensions\": [";
  json += allowed + "]\n}\n";
  return json;
}

}  // namespace registration

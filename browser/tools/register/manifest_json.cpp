#include "manifest_json.h"

#include "messages/json_escape.h"

namespace registration {

std::string JsonQuoted(const std::string& text) {
  return JsonString<std::string>(text, kJsonEscapeMinimal);
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

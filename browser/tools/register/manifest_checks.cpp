#include "manifest_checks.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "allowed_extensions.h"
#include "host_file.h"
#include "tool_process.h"

namespace registration {
namespace fs = std::filesystem;
using nlohmann::json;
namespace {

// A package's manifest is named as the file that holds it (the browser's
// folder may hold a link to it).
std::string RewriteAdvice(const ManifestSubject& subject,
                          const std::string& hostPath = "") {
  std::error_code error;
  const fs::path file = fs::weakly_canonical(subject.file, error);
  return FixAdvice(subject.fix, hostPath, (error ? subject.file : file).u8string());
}

// "<mend>; or <rewrite>"; a package's own manifest is mended or put back.
std::string MendAdvice(const ManifestSubject& subject, const std::string& mend) {
  return subject.fix.package ? RewriteAdvice(subject)
                             : mend + "; or " + RewriteAdvice(subject);
}

enum class TextEncoding { kUtf8, kUtf8WithMark, kUtf16 };

// UTF-16 starts with its byte-order mark, or, without one, has a zero byte
// beside the first character of the JSON text.
TextEncoding EncodingOf(const std::string& text) {
  const auto starts = [&](const char* mark) { return text.rfind(mark, 0) == 0; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF") ||
      text.substr(0, 2).find('\0') != std::string::npos) {
    return TextEncoding::kUtf16;
  }
  return starts("\xEF\xBB\xBF") ? TextEncoding::kUtf8WithMark : TextEncoding::kUtf8;
}

std::string StringMember(const json& manifest, const char* key) {
  const auto member = manifest.find(key);
  return member != manifest.end() && member->is_string()
             ? member->get<std::string>()
             : std::string();
}

// Both families need a "description"; Chromium's must not be empty.
bool ReadJson(Browser browser, const ManifestSubject& subject, json* manifest,
              std::vector<Finding>* findings) {
  std::ifstream file(subject.file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)),
                         std::istreambuf_iterator<char>());
  const std::string where = subject.file.u8string();
  if (!file.good() && !file.eof()) {
    findings->push_back(FailedFinding("json", "cannot read " + where,
                               MendAdvice(subject, "make " + where + " readable")));
    return false;
  }
  const TextEncoding encoding = EncodingOf(text);
  if (encoding == TextEncoding::kUtf16) {
    findings->push_back(FailedFinding(
        "json", "saved as UTF-16 (what PowerShell 5 writes by default), which " +
                    std::string(BrowserName(browser)) + " can't read",
        MendAdvice(subject, "save " + where + " as UTF-8 without a byte-order mark")));
    return false;
  }
  std::string invalid;
  try {
    *manifest = json::parse(text);
    if (!manifest->is_object()) invalid = "not a JSON object";
  } catch (const json::exception& error) {
    invalid = error.what();
    invalid.erase(0, invalid.find(']') + 2);  // drop "[json.exception...] "
    // The reader quotes what it read last; a file that is no manifest (a
    // link to a root-only file, say) must not have its text shown.
    invalid.erase(std::min(invalid.find("; last read:"), invalid.size()));
  }
  if (!invalid.empty()) {
    findings->push_back(FailedFinding("json", "invalid: " + invalid,
                               MendAdvice(subject, "mend " + where)));
    return false;
  }
  const auto description = manifest->find("description");
  const bool described =
      description != manifest->end() && description->is_string() &&
      !(IsChromiumFamily(browser) && description->get<std::string>().empty());
  if (!described) {
    findings->push_back(FailedFinding(
        "json", "valid, but \"description\" is missing" +
                    std::string(IsChromiumFamily(browser) ? " or empty" : "") +
                    ", and " + BrowserName(browser) + " refuses such a manifest",
        MendAdvice(subject, "add a \"description\" to " + where)));
    return false;
  }
  if (encoding == TextEncoding::kUtf8WithMark) {
    findings->push_back(WarningFinding(
        "json", "valid, but the file starts with a byte-order mark, which not every browser "
                "version skips",
        MendAdvice(subject, "save " + where + " as UTF-8 without a byte-order mark")));
    return true;
  }
  findings->push_back(OkFinding("json", "valid"));
  return true;
}

// Firefox's rule, ^\w+(\.\w+)*$, allows capitals; Chromium's does not.
bool IsNameFor(Browser browser, const std::string& name) {
  if (IsChromiumFamily(browser)) return IsValidHostName(name);
  std::string lowered = name;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return IsValidHostName(lowered);
}

void CheckName(Browser browser, const ManifestSubject& subject,
               const json& manifest, std::vector<Finding>* findings) {
  const std::string name = StringMember(manifest, "name");
  const std::string fileName = subject.file.stem().u8string();
  if (name.empty()) {
    findings->push_back(FailedFinding("name", "the manifest has no \"name\"",
                               RewriteAdvice(subject)));
  } else if (!IsNameFor(browser, name)) {
    findings->push_back(FailedFinding("name", Quoted(name) + " is not a valid host name",
                               RewriteAdvice(subject)));
  } else if (name != subject.askedName) {
    findings->push_back(FailedFinding(
        "name",
        "the manifest says " + Quoted(name) + ", but the extension asks for " +
            Quoted(subject.askedName) + " (file " +
            subject.file.filename().u8string() + ")",
        RewriteAdvice(subject) + "; or, if the extension asks for " +
            Quoted(name) + ", check with --name " + name));
  } else {
    Finding finding = OkFinding("name", Quoted(name));
    if (fileName != name) {
      finding.notes.push_back("the file is " + subject.file.filename().u8string() +
                              "; the browser reads it through the registry key "
                              "of that name, so the file name does not matter");
    }
    findings->push_back(finding);
  }
}

// The host the tool would register: the Corvantilhub beside this tool.
std::string HostBesideTool() {
  const fs::path host = RunningExecutable().parent_path() / HostExecutableName();
  return HostFileProblem(host).empty() ? host.u8string() : "<path of Corvantilhub>";
}

fs::path CheckPath(const ManifestSubject& subject, const json& manifest,
                   std::vector<Finding>* findings) {
  const std::string text = StringMember(manifest, "path");
  if (text.empty()) {
    findings->push_back(FailedFinding("path", "the manifest has no \"path\"",
                               RewriteAdvice(subject, HostBesideTool())));
    return {};
  }
  fs::path path = fs::u8path(text);
  std::string how;
  if (path.is_relative()) {
    if (!RelativeHostPathAllowed()) {
      findings->push_back(FailedFinding(
          "path", Quoted(text) + " is relative; the browser needs an absolute path",
          RewriteAdvice(subject, HostBesideTool())));
      return {};
    }
    path = (subject.file.parent_path() / path).lexically_normal();
    how = " (relative to the manifest's folder)";
  }
  const std::string problem = HostFileProblem(path);
  if (problem.empty()) {
    findings->push_back(OkFinding("path", path.u8string() + how));
    return path;
  }
  const std::string advice =
      problem == "is not executable"
          ? (subject.fix.scope == Scope::kSystem ? std::string("as ") + AdministratorName() + ", "
                                                 : std::string()) +
                "run chmod a+x " + path.u8string()
          : RewriteAdvice(subject, HostBesideTool());
  findings->push_back(FailedFinding("path", path.u8string() + how + " " + problem, advice));
  return {};
}

void CheckType(const ManifestSubject& subject, const json& manifest,
               std::vector<Finding>* findings) {
  const std::string type = StringMember(manifest, "type");
  if (type == "stdio") {
    findings->push_back(OkFinding("type", Quoted(type)));
  } else {
    findings->push_back(FailedFinding(
        "type",
        (type.empty() ? std::string("missing") : Quoted(type)) + ", not \"stdio\"",
        RewriteAdvice(subject)));
  }
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : ", ") + part;
  return joined;
}

// The entries of `wanted` that `allowed` lacks.
std::vector<std::string> NotIn(const std::vector<std::string>& wanted,
                               const std::vector<std::string>& allowed) {
  std::vector<std::string> missing;
  for (const std::string& id : wanted) {
    if (std::find(allowed.begin(), allowed.end(), id) == allowed.end()) missing.push_back(id);
  }
  return missing;
}

// Returns the extension the browser would start the host for.
std::string CheckExtensions(Browser browser, ManifestSubject* subject,
                            const json& manifest, std::vector<Finding>* findings) {
  const AllowedExtensions allowed = ReadAllowedExtensions(browser, manifest);
  const std::vector<std::string> missing = NotIn(subject->extensionIds, allowed.ids);
  // Without --extension: the package's extensions should still be allowed.
  const std::vector<std::string> packageMissing = NotIn(subject->packageIds, allowed.ids);
  if (subject->extensionIds.empty()) {
    subject->fix.extensionIds = allowed.ids;
    for (const std::string& id : packageMissing) subject->fix.extensionIds.push_back(id);
  }
  if (!allowed.faults.empty()) {
    Finding finding = FailedFinding("extension", Joined(allowed.faults),
                             RewriteAdvice(*subject));
    if (!allowed.swapped) {
      finding.detail += "; " + std::string(BrowserName(browser)) +
                        " refuses the whole manifest";
    }
    if (!missing.empty()) finding.detail += "; " + Joined(missing) + " not listed";
    findings->push_back(finding);
  } else if (!missing.empty()) {
    findings->push_back(FailedFinding("extension",
                               Joined(missing) + " not allowed; the manifest allows " +
                                   (allowed.ids.empty() ? "none" : Joined(allowed.ids)),
                               RewriteAdvice(*subject)));
  } else if (!packageMissing.empty()) {
    findings->push_back(WarningFinding("extension",
                                       "allowed: " + Joined(allowed.ids) + "; but not " +
                                           Joined(packageMissing) +
                                           ", which the installed package was built for",
                                       RewriteAdvice(*subject)));
  } else {
    findings->push_back(OkFinding("extension", "allowed: " + Joined(
        subject->extensionIds.empty() ? allowed.ids : subject->extensionIds)));
  }
  if (!subject->extensionIds.empty()) return subject->extensionIds.front();
  return allowed.ids.empty() ? std::string() : allowed.ids.front();
}

}  // namespace

ManifestFacts CheckManifest(Browser browser, ManifestSubject subject,
                            std::vector<Finding>* findings) {
  // The advice names the IDs asked about; else the ones the manifest lists
  // and the package's.
  subject.fix.extensionIds =
      subject.extensionIds.empty() ? subject.packageIds : subject.extensionIds;
  ManifestFacts facts;
  json manifest;
  if (!ReadJson(browser, subject, &manifest, findings)) return facts;
  facts.readable = true;
  // The extensions are read first: every rewrite advised names them.
  facts.extensionId = CheckExtensions(browser, &subject, manifest, findings);
  const Finding extension = findings->back();
  findings->pop_back();
  CheckName(browser, subject, manifest, findings);
  facts.hostPath = CheckPath(subject, manifest, findings);
  CheckType(subject, manifest, findings);
  findings->push_back(extension);
  return facts;
}

}  // namespace registration

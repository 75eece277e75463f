#include "installed_package.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "tool_process.h"

namespace registration {
using nlohmann::json;
namespace {

constexpr char kRecordName[] = "corvantilhub-package.json";

std::string StringMember(const json& record, const char* key) {
  const auto member = record.find(key);
  return member != record.end() && member->is_string() ? member->get<std::string>()
                                                      : std::string();
}

void AppendIds(const json& record, const char* key, std::vector<std::string>* ids) {
  const auto member = record.find(key);
  if (member == record.end() || !member->is_array()) return;
  for (const json& id : *member) {
    if (id.is_string()) ids->push_back(id.get<std::string>());
  }
}

}  // namespace

std::optional<InstalledPackage> FindInstalledPackage() {
  std::ifstream file(RunningExecutable().parent_path() / kRecordName, std::ios::binary);
  if (!file.is_open()) return std::nullopt;
  const std::string text((std::istreambuf_iterator<char>(file)),
                         std::istreambuf_iterator<char>());
  const json record = json::parse(text, nullptr, false);
  if (!record.is_object()) return std::nullopt;
  InstalledPackage package;
  package.kind = StringMember(record, "kind");
  package.name = StringMember(record, "name");
  package.version = StringMember(record, "version");
  package.productCode = StringMember(record, "product_code");
  AppendIds(record, "chromium_extension_ids", &package.extensionIds);
  AppendIds(record, "firefox_addon_ids", &package.extensionIds);
  const auto standIns = record.find("stand_ins");
  package.standIns = standIns != record.end() && standIns->is_boolean() && standIns->get<bool>();
  if (package.kind != "deb" && package.kind != "msi") return std::nullopt;
  return package;
}

std::string PackageSummary(const InstalledPackage& package) {
  std::string summary = package.name + " " + package.version +
                        (package.kind == "deb" ? " (Debian package)" : " (MSI)");
  return summary + (package.standIns
                        ? ", with the STAND-IN agent and designer libraries (for "
                          "testing, not the agent's own)"
                        : ", with the agent's own libraries");
}

// A conffile that dpkg knows is left as it is on a reinstall, also when it
// is missing, unless --force-confmiss asks for it back.
std::string RepairAdvice(const InstalledPackage& package, const std::string& manifestFile) {
  // The long form of msiexec /fam: every file and the machine's keys
  // written again (Wine knows only this form).
  if (package.kind == "msi") {
    return std::string("repair the package: as ") + AdministratorName() + ", run msiexec /i " +
           package.productCode + " REINSTALL=ALL REINSTALLMODE=amus /qn";
  }
  const std::string reinstall =
      "apt-get install --reinstall -o Dpkg::Options::=--force-confmiss " + package.name +
      " (or, from the package file, dpkg -i --force-confmiss " + package.name + "_" +
      package.version + "_amd64.deb)";
  if (!manifestFile.empty()) {
    return "mend " + manifestFile + " (the package's configuration file), or put the " +
           "package's back: as " + AdministratorName() + ", run rm " + manifestFile +
           " && " + reinstall;
  }
  return std::string("put the package's registration back: as ") + AdministratorName() +
         ", run " + reinstall;
}

}  // namespace registration

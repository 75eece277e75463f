#include "check_command.h"

#include <map>

#include "browser_policies.h"
#include "installed_package.h"
#include "manifest_checks.h"
#include "manifest_lookup.h"
#include "startup_probe.h"
#include "trusted_path.h"

namespace registration {
namespace {

const std::optional<InstalledPackage>& ThePackage() {
  static const std::optional<InstalledPackage> package = FindInstalledPackage();
  return package;
}

// The advice names the extensions asked about, else the package's. All
// users' registration of the default name is the package's own, when a
// package installed this tool.
FixContext FixContextFor(const Options& options, Browser browser, Scope scope) {
  FixContext context;
  context.browser = browser;
  context.hostName = options.hostName;
  context.userDataDir = scope == Scope::kUser ? options.userDataDir : "";
  context.scope = scope;
  context.extensionIds = ExtensionIdsFor(browser, options.extensionIds);
  if (context.extensionIds.empty() && ThePackage()) {
    context.extensionIds = ExtensionIdsFor(browser, ThePackage()->extensionIds);
  }
  if (scope == Scope::kSystem && options.hostName == kDefaultHostName &&
      options.userDataDir.empty()) {
    context.package = ThePackage();
  }
  return context;
}

std::string PlaceLine(const LookupPlace& place) {
  return place.where + ": " + place.outcome;
}

// A hive whose two views are one key (HKCU) names the same file twice;
// that hides nothing.
bool SameRegistration(const LookupPlace& one, const LookupPlace& other) {
  return one.scope == other.scope && one.manifest == other.manifest;
}

// A registration that the browser reads first, but can't use, while a later
// one would do.
const LookupPlace* SoundPlaceAfter(const std::vector<LookupPlace>& places,
                                   const LookupPlace& chosen) {
  bool after = false;
  for (const LookupPlace& place : places) {
    if (after && place.found && place.problem.empty()) return &place;
    after = after || &place == &chosen;
  }
  return nullptr;
}

using PassedOver = std::map<const LookupPlace*, std::string>;

// Run as root, check reads no manifest that another user can change: what
// it would read may be a link to a root-only file, or a user's choice of
// host. Empty when it may read it.
std::string WhyNotRead(const LookupPlace& place) {
  return RunsAsRoot() ? WhoElseCanChange(place.manifest) : std::string();
}

bool AllPassed(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.verdict == Verdict::kFailed) return false;
  }
  return true;
}

ManifestSubject SubjectFor(const Options& options, Browser browser,
                           const LookupPlace& place) {
  ManifestSubject subject;
  subject.file = place.manifest;
  subject.askedName = options.hostName;
  subject.extensionIds = ExtensionIdsFor(browser, options.extensionIds);
  if (subject.extensionIds.empty() && ThePackage()) {
    subject.packageIds = ExtensionIdsFor(browser, ThePackage()->extensionIds);
  }
  subject.fix = FixContextFor(options, browser, place.scope);
  return subject;
}

// Firefox on Linux passes over a manifest it can't use (invalid, another
// name or type, the extension not listed) and reads the next one; the host
// path counts only when it starts the host. Returns the manifest it reads,
// or null when it can use none; `passedOver` says why it skipped others.
const LookupPlace* FirstUsableManifest(const Options& options, Browser browser,
                                       const std::vector<LookupPlace>& places,
                                       PassedOver* passedOver) {
  for (const LookupPlace& place : places) {
    if (!place.found || !place.problem.empty()) continue;
    if (!WhyNotRead(place).empty()) return &place;  // judged no further
    std::vector<Finding> trial;
    CheckManifest(browser, SubjectFor(options, browser, place), &trial);
    const Finding* unusable = nullptr;
    for (const Finding& finding : trial) {
      if (finding.verdict == Verdict::kFailed && finding.step != "path") {
        unusable = &finding;
        break;
      }
    }
    if (unusable == nullptr) return &place;
    (*passedOver)[&place] = unusable->step + ": " + unusable->detail;
  }
  return nullptr;
}

// The "manifest" finding; `chosen` is the place the browser reads, or null.
// `preferred`, when set, is the one it reads after passing over others.
// `unread`, when set, says that a policy keeps the browser from reading
// per-user registrations, and lists those it passes by.
Finding ManifestFinding(const Options& options, Browser browser,
                        const std::vector<LookupPlace>& places,
                        const LookupPlace* preferred, const PassedOver& passedOver,
                        const std::optional<std::vector<std::string>>& unread,
                        const LookupPlace** chosen) {
  Finding finding = OkFinding("manifest");
  if (unread) finding.notes = *unread;
  *chosen = nullptr;
  for (const LookupPlace& place : places) {
    if (*chosen == nullptr && place.found &&
        (preferred == nullptr || &place == preferred)) {
      *chosen = &place;
    } else if (*chosen == nullptr) {
      const auto skipped = passedOver.find(&place);
      finding.notes.push_back(
          skipped == passedOver.end()
              ? "looked at " + PlaceLine(place)
              : "passed over " + place.where + ", which " + BrowserName(browser) +
                    " can't use (" + skipped->second + ")");
    } else if (place.found && !SameRegistration(place, **chosen)) {
      finding.notes.push_back("not read while " + (*chosen)->where + " exists: " +
                              PlaceLine(place) + "; to use it, remove the first: " +
                              (*chosen)->removal);
    }
  }
  if (*chosen == nullptr) {
    // All users' registration is what is missing when a policy reads no
    // other, or when a package should have made it.
    const bool userAsked = options.scopeChosen && options.scope == Scope::kUser;
    const bool packageMissing = ThePackage() && options.hostName == kDefaultHostName && !userAsked;
    const Scope scope = unread || packageMissing ? Scope::kSystem
                        : options.scopeChosen    ? options.scope
                                                 : Scope::kUser;
    finding.verdict = Verdict::kFailed;
    finding.detail = "not found";
    finding.advice = FixAdvice(FixContextFor(options, browser, scope));
    return finding;
  }
  const LookupPlace& place = **chosen;
  finding.detail = place.where == place.manifest.u8string()
                       ? place.where
                       : place.where + ", which " + place.outcome;
  if (!place.problem.empty()) {
    finding.verdict = Verdict::kFailed;
    finding.detail = place.problem + " (" + place.where + ")";
    finding.advice = FixAdvice(FixContextFor(options, browser, place.scope));
    if (const LookupPlace* sound = SoundPlaceAfter(places, place)) {
      finding.advice = "remove it, so that " + std::string(BrowserName(browser)) +
                       " reads " + sound->where + ": run " + place.removal +
                       "; or " + finding.advice;
    }
    *chosen = nullptr;
  }
  return finding;
}

// Chromium-family browsers obey the administrator's policies before they
// look for a manifest: a policy finding shows when one is set. When the
// policies keep the browser from reading per-user registrations, these are
// taken out of `places`, and the ones found are returned as notes.
std::optional<std::vector<std::string>> ApplyPolicies(const Options& options, Browser browser,
                                                      std::vector<LookupPlace>* places,
                                                      std::vector<Finding>* findings) {
  const NativeMessagingPolicies policies = ReadNativeMessagingPolicies(browser);
  if (!policies.blocklist && !policies.allowlist && !policies.userLevelHosts &&
      policies.unread.empty()) {
    return std::nullopt;
  }
  findings->push_back(PolicyFinding(browser, policies, options.hostName));
  if (UserLevelHostsAllowed(policies)) return std::nullopt;
  std::vector<std::string> unread;
  std::vector<LookupPlace> read;
  for (LookupPlace& place : *places) {
    if (place.scope == Scope::kSystem) {
      read.push_back(std::move(place));
    } else if (place.found) {
      unread.push_back("not read: " + place.where +
                       ", as NativeMessagingUserLevelHosts is false (" +
                       policies.userLevelHosts->where + ")");
    }
  }
  *places = std::move(read);
  return unread;
}

BrowserFindings CheckBrowser(const Options& options, Browser browser,
                             std::vector<LookupPlace> places) {
  BrowserFindings result;
  result.browser = browser;
  const std::optional<std::vector<std::string>> ignored =
      IsChromiumFamily(browser) ? ApplyPolicies(options, browser, &places, &result.findings)
                                : std::nullopt;
  PassedOver passedOver;
  const LookupPlace* preferred =
      browser == Browser::kFirefox && FirefoxPassesOverUnusableManifests()
          ? FirstUsableManifest(options, browser, places, &passedOver)
          : nullptr;
  if (preferred == nullptr) passedOver.clear();  // it reads the first one, then
  const LookupPlace* chosen = nullptr;
  result.findings.push_back(
      ManifestFinding(options, browser, places, preferred, passedOver, ignored, &chosen));
  if (chosen == nullptr) return result;
  const std::string unread = WhyNotRead(*chosen);
  if (!unread.empty()) {
    result.findings.push_back(NotProbed("the manifest was not read: " + unread));
    return result;
  }

  const ManifestFacts facts = CheckManifest(
      browser, SubjectFor(options, browser, *chosen), &result.findings);
  if (facts.hostPath.empty()) return result;

  ProbeSubject probe;
  probe.browser = browser;
  probe.host = facts.hostPath;
  probe.manifest = chosen->manifest;
  probe.extensionId = facts.extensionId;
  probe.manifestAccepted = AllPassed(result.findings);
  probe.rewriteAdvice = FixAdvice(FixContextFor(options, browser, chosen->scope));
  result.findings.push_back(ProbeHostStartup(probe));
  return result;
}

}  // namespace

bool CheckRegistrations(const Options& options,
                        std::vector<BrowserFindings>* results,
                        std::string* error) {
  for (Browser browser : options.browsers) {
    LookupRequest request;
    request.browser = browser;
    request.hostName = options.hostName;
    request.userDataDir = options.userDataDir;
    request.userPlaces = !options.scopeChosen || options.scope == Scope::kUser;
    request.systemPlaces = !options.scopeChosen || options.scope == Scope::kSystem;
    std::vector<LookupPlace> places;
    if (!LookUpManifest(request, &places, error)) return false;
    results->push_back(CheckBrowser(options, browser, places));
  }
  return true;
}

}  // namespace registration

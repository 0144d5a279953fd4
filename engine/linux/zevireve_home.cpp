#include "zevireve_home.h"

#include <cstdlib>

namespace qz {
namespace {

std::string& ChosenHome() {
  static std::string home;
  return home;
}

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

void SetZevireveHome(const std::string& dir) { ChosenHome() = dir; }

std::string ZevireveHome() {
  if (!ChosenHome().empty()) return ChosenHome();
  if (auto home = FromEnvironment("ZEVIREVE_HOME"); !home.empty()) return home;
  if (auto config = FromEnvironment("XDG_CONFIG_HOME"); !config.empty()) return config + "/zevireve";
  return FromEnvironment("HOME") + "/.config/zevireve";
}

}  // namespace qz

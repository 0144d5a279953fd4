// The folder that holds the Linux certificate stores (MY/, ADDRESSBOOK/) and the settings file:
// an explicit choice (--home), else $ZEVIREVE_HOME, else $XDG_CONFIG_HOME/zevireve, else
// ~/.config/zevireve.
#pragma once

#include <string>

namespace qz {

void SetZevireveHome(const std::string& dir);
std::string ZevireveHome();

}  // namespace qz

#pragma once
// The version text both deliverables show: "2.4 (311c) [beta]" in long form and
// "2.4 (311c)" in short form, read from the containing application's Info.plist.

#include "foundation/Bundle.h"

#include <string>

// The bundle whose Info.plist is read: from inside an extension (a main bundle whose
// folder ends in ".appex") the application two folders up, else the main bundle.
foundation::Bundle containingAppBundle();
foundation::Bundle containingAppBundle(const foundation::Bundle& mainBundle);

std::string appVersionString(bool longForm);
std::string appVersionString(bool longForm, const foundation::Bundle& bundle);

#pragma once
// Before the kit is installed: an installed kit of the same version is
// removed (or, when its build is newer, the install stops), and an installed
// runtime of the same version is removed unless its build is newer or it was
// installed in static mode.

// True: go on with the install. False: the launcher stops with -1 (a newer
// kit build is installed, shown in a box unless silent; or a removal failed).
bool UninstallKessaOrVindelIfSameVersionExists(bool silent);

// Uninstalls the kit product of version (quietly when silent, else with the
// basic UI). True when no such product is registered (a stale version key,
// logged as a warning) or msiexec answered 0, 3010 or 1641; false (logged)
// when the registration cannot be read or the removal failed.
bool UninstallExistingVindel(const char* version, bool silent);

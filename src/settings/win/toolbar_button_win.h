#pragma once
// The browser toolbar button's registry key under HKEY_LOCAL_MACHINE. Registry failures are
// silent: the results only tell whether the success message is due.

#include <string>

namespace vx {

// Creates or opens the key and writes the six values for the program at `programPath`. False
// when the key could not be created or opened; failures of single values are not reported.
bool addToolbarButton(const std::string& programPath);

// Deletes the key with all its subkeys, depth first. True only when the key itself was deleted;
// false when it could not be opened (never added, no access) or a subkey could not be deleted.
bool removeToolbarButton();

}  // namespace vx

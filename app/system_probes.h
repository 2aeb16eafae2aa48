// Yes-or-no questions about the machine, answered from the local machine's registry. A probe that
// cannot read what it needs answers no. Neither probe logs.
#pragma once

// The browser is installed at major version 8 or later.
bool IsIE8Installed();
// The machine is one of the maker's embedded devices.
bool IsEmbeddedDevice();

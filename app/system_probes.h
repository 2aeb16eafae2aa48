// Yes-or-no questions about the machine: the first two answered from the local machine's
// registry. A probe that cannot read what it needs answers no. No probe logs.
#pragma once

// The browser is installed at major version 8 or later.
bool IsIE8Installed();
// The machine is one of the maker's embedded devices.
bool IsEmbeddedDevice();
// Someone can see a window this process shows: its window station is visible and, from Windows
// Vista on, it does not run in session 0.
bool NoticeCanBeSeen();

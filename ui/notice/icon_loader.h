// The notice's icon, 64 x 64 at 96 dots per inch and scaled with the dots per inch above that:
// from the installation media when it carries one, else from the program's resources, whose icon
// holds an image for each common scale.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

// Loads fileName from "<parent>\data\vorn\" one, then two, folder levels above the program's
// folder (the program's own folder is not looked in), else resource resourceId of the program,
// at its size for dpi: 64 pixels at 96 dots per inch and below, in proportion above. The first
// candidate that exists decides: one that cannot be loaded as an icon gives null. Each call loads a
// new icon that the caller owns.
HICON LoadIconImage(const CString& fileName, UINT resourceId, int dpi);

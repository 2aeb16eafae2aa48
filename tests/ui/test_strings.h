// Strings that only the text-lookup test program carries.
#pragma once

#define IDS_TEST_LONG_TEXT 4000

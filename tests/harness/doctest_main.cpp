#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "tests/harness/doctest_config.h"

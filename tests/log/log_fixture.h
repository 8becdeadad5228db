// The log fixture now lives with the other shared helpers; this name stays for older includes.
#pragma once

#include "support/log_fixture.h"

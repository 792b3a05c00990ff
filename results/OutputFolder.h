#pragma once
// The output folder that appears whole or not at all now lives in the
// toolkit (toolkit/OutputFolder.h); this name stays for the code that still
// includes it from here.
#include "toolkit/OutputFolder.h"

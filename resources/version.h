// The program's version, the one place it is written: the window and the version resource
// read it, and the build makes every other form of it from these numbers.
#pragma once

#define TSL_VERSION_MAJOR 2
#define TSL_VERSION_MINOR 0
#define TSL_VERSION_BUILD 0
#define TSL_VERSION_REVISION 1

// The program's version, read by the version resource, the window and the build.
#pragma once

#define TSL_VERSION_MAJOR 2
#define TSL_VERSION_MINOR 0
#define TSL_VERSION_BUILD 0
#define TSL_VERSION_REVISION 1
// The resource's text form of the same four numbers.
#define TSL_VERSION_TEXT "2.00.0001"

// Identifiers of the executable's resources.
#pragma once

#define IDI_TESSALINE 1
#define IDB_BANNER 101

/* The library's version, in the one place that the version query and the DLL's version resource
 * take it from. */
#pragma once

#define ZELCNV_VERSION_MAJOR 4
#define ZELCNV_VERSION_MINOR 5
#define ZELCNV_VERSION_PATCH 20
#define ZELCNV_VERSION_TEXT "4.5.20"

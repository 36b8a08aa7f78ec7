/*
 * wendrake table library: what the decoder knows about its parameters, for
 * tools and bindings that label and scale them.
 *
 * Conventions:
 *  1. Everything here is constant data of the decoder; the functions may be
 *     called from any thread.
 *  2. Strings returned are static and zero-terminated; never free them.
 *  3. Functions that can fail return a negative value (or NULL) and print
 *     nothing.
 */
#ifndef WENDRAKE_TABLE_H
#define WENDRAKE_TABLE_H

#include <stdint.h>

#include "wendrake/wendrake.h"

#if defined(_WIN32)
#  if defined(WENDRAKE_BUILDING_TABLE)
#    define WENDRAKE_TABLE_API __declspec(dllexport)
#  else
#    define WENDRAKE_TABLE_API __declspec(dllimport)
#  endif
#else
#  define WENDRAKE_TABLE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One decode parameter: its identifier and slot, the scale its stored values
 * carry (stored = logged value x scale; 1, 100 or 1000), and the name tools
 * show for it (the log column that feeds it, or the state word's name). */
typedef struct WendrakeParamInfo {
  uint32_t id;
  int32_t slot;        /* index in ReportItem.paramSlots */
  int32_t scale;
  const char* name;    /* NULL when no column feeds the parameter */
  const char* record;  /* record token of that column ("DM"), or NULL */
} WendrakeParamInfo;

/* The library's version, "MAJOR.MINOR.PATCH". */
WENDRAKE_TABLE_API const char* wendrake_version(void);

/* Number of parameter slots (WENDRAKE_PARAM_COUNT). */
WENDRAKE_TABLE_API int wendrake_param_count(void);

/* Fills *info for slot 0..count-1; returns 0, or -1 for a bad slot or NULL. */
WENDRAKE_TABLE_API int wendrake_param_info(int slot, WendrakeParamInfo* info);

/* Slot of a parameter identifier, or -1 when no slot holds it. */
WENDRAKE_TABLE_API int wendrake_param_slot(uint32_t paramId);

#ifdef __cplusplus
}
#endif

#endif /* WENDRAKE_TABLE_H */

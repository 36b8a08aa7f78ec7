/* The interface between the wendrake tool and its map module,
 * wendrake_map.so: the module holds everything that needs GDAL, so the tool
 * loads GDAL's many libraries only when `wendrake map` runs.
 *
 * One C entry point over plain data. The tool passes WENDRAKE_MAP_ABI as the
 * first argument and a module built for another value refuses the call with
 * an error, so a module left over from another build never reads data laid
 * out differently. Any change to the structures below increments
 * WENDRAKE_MAP_ABI; a change to the entry point's own arguments renames it.
 */
#ifndef WENDRAKE_MAP_MODULE_ABI_H
#define WENDRAKE_MAP_MODULE_ABI_H

#include <stddef.h>
#include <stdint.h>

#define WENDRAKE_MAP_ABI 4u
#define WENDRAKE_MAP_ENTRY "wendrake_map_write"
#define WENDRAKE_MAP_MODULE_FILE "wendrake_map.so"

#ifdef __cplusplus
extern "C" {
#endif

/* One item of the drive. Texts are valid UTF-8 and never NULL ("" when
 * absent); numbers are NaN when absent, clock_ms INT64_MIN without a clock. */
struct WendrakeMapItem {
  int64_t line;
  int64_t clock_ms;         /* the log's clock as UTC milliseconds */
  const char* record;       /* "DM", "CL3", "EVT", ... */
  const char* message;      /* CL3: the message name */
  const char* event_name;   /* EVT: the event's name */
  uint32_t code;
  double event;             /* EVT: the event value */
  double latitude, longitude, altitude;
  double speed, heading, satellites, fix_age;
  const double* kpis;       /* WendrakeMapDrive::kpi_count values */
  double colour;            /* the value of the KPI colouring the route */
  int32_t serving_cell;     /* the cell serving the handset here: an index into
                               WendrakeMapDrive::cells; -1 when none is known */
  double serving_distance;  /* metres from the item to that cell; NaN without one */
};

/* A cell the drive heard (a 1x base station or an EV-DO sector). */
struct WendrakeMapCell {
  const char* technology;   /* "1x" or "EV-DO" */
  int32_t pilot_pn;
  int32_t sid, nid, base_id;  /* 1x; -1 for EV-DO */
  int32_t color_code;       /* EV-DO; -1 when unknown */
  const char* sector_id;    /* EV-DO: 32 hex digits; "" for 1x */
  const char* id;           /* "SID/NID/BASE_ID", or the SectorID */
  const char* label;        /* "PN 168 ID 11280": PN and ID, for the map */
  const char* neighbours;   /* the neighbour PNs, "240 36 312" */
  double latitude, longitude;  /* NaN when the network did not advertise them */
};

/* One piece of the drive, in log order: the positioned items (the route,
 * the events and the colour bins come from them) and the points of the
 * items layer, which are those items or fewer when the tool thins them. */
struct WendrakeMapPiece {
  size_t item_count;
  const struct WendrakeMapItem* items;
  size_t point_count;
  const struct WendrakeMapItem* points;
};

/* Hands the module the next piece: 1 with *piece filled (valid until the
 * next call), 0 after the last one, -1 when reading the log failed: the
 * module then stops and fails, and the tool, which knows why, says so. */
typedef int (*WendrakeMapNext)(void* source, struct WendrakeMapPiece* piece);

/* Receives the bytes of a streamed format (GeoJSON, KML) in order. Returns
 * `size` when all of them were written, less on a failure: the module then
 * stops and fails, and the tool, which knows why, says so. */
typedef size_t (*WendrakeMapSink)(void* context, const void* bytes, size_t size);

/* What to write and where. */
struct WendrakeMapDrive {
  const char* name;                /* the output as the reader named it, for messages */
  const char* path;                /* GeoPackage: the file to create (SQLite seeks in it) */
  WendrakeMapSink sink;            /* GeoJSON and KML: where their bytes go */
  void* sink_context;
  const char* driver;              /* "GPKG", "GeoJSON" or "KML" */
  const char* colour_kpi;          /* the KPI colouring the KML route (items' colour); NULL: none */
  int bin_mode;                    /* its bins: 0 thresholds, 1 range, 2 equal count */
  size_t edge_count;               /* 4: thresholds overriding the KPI's defaults; else 0 */
  const double* edges;
  size_t kpi_count;                /* the KPIs written as the items' attributes */
  const char* const* kpi_names;    /* kpi_count names */
  WendrakeMapNext next;            /* the drive, piece by piece */
  void* source;
  size_t cell_count;               /* the cells the drive heard, known before the first piece */
  const struct WendrakeMapCell* cells;
};

/* Writes the drive's layers: a GeoPackage into a new file at drive->path,
 * GeoJSON and KML through drive->sink. 0 on success; otherwise non-zero
 * with a one-line message in `error` (NUL-terminated, at most error_size
 * bytes), and the caller discards what was written. */
typedef int (*WendrakeMapWrite)(uint32_t abi, const struct WendrakeMapDrive* drive, char* error,
                                size_t error_size);

#ifdef __cplusplus
}
#endif

#endif

/*
 * wendrake table library: whole logs decoded into columns, and what the
 * decoder knows about its parameters, for tools and bindings.
 *
 * Conventions:
 *  1. A table is built by one call and released by one call; its columns are
 *     read-only arrays owned by it. A reader hands out the pieces of a log one
 *     after the other; each lives until the next. Separate tables and readers
 *     may be used on separate threads; the catalogue functions may be called
 *     from any thread.
 *  2. Strings returned are zero-terminated and owned by the library; never
 *     free them.
 *  3. Functions that can fail return a negative result code (or NULL) and
 *     print nothing.
 */
#ifndef WENDRAKE_TABLE_H
#define WENDRAKE_TABLE_H

#include <stddef.h>
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

/* ---- Decoding a log into a table ---------------------------------------- */

/* Result codes. On WENDRAKE_ERROR_OPEN and _READ, errno says why. */
enum {
  WENDRAKE_OK = 0,
  WENDRAKE_ERROR_ARGUMENT = -1,  /* a NULL pointer or a bad flag */
  WENDRAKE_ERROR_MODULE = -2,    /* not one of the five module types */
  WENDRAKE_ERROR_OPEN = -3,      /* the file cannot be opened */
  WENDRAKE_ERROR_READ = -4,      /* reading the file failed */
  WENDRAKE_ERROR_MEMORY = -5     /* the table does not fit in memory */
};

/* The text of a result code (static; "unknown error" for other values). */
WENDRAKE_TABLE_API const char* wendrake_error_message(int code);

/* Flags of the decoding functions. */
#define WENDRAKE_TABLE_CURRENT_ONLY 1u /* parameter cells only where the item's own line set
                                          them; by default a cell holds every value the
                                          parameter has at the item, carried over or set */
#define WENDRAKE_TABLE_SETTINGS 2u     /* no parameter columns: the values the items' own
                                          lines set come as a list instead
                                          (wendrake_table_settings), far smaller for
                                          summaries of a log */

/* A log decoded into columns: one row per report item, in log order, with the
 * same items, codes, stamps and values the 21 decoder functions give. */
typedef struct WendrakeTable WendrakeTable;

/* Decodes a whole log file, or a buffer holding a whole log, into *table. The
 * end of the input ends its last line (see wendrake_table_unterminated). */
WENDRAKE_TABLE_API int wendrake_table_from_file(const char* path, int moduleType, unsigned flags,
                                                WendrakeTable** table);
WENDRAKE_TABLE_API int wendrake_table_from_buffer(const void* data, size_t length, int moduleType,
                                                  unsigned flags, WendrakeTable** table);

/* Releases a table and every column it handed out. NULL is ignored. */
WENDRAKE_TABLE_API void wendrake_table_free(WendrakeTable* table);

/* Rows (items), physical lines of the log, and whether its last line had no
 * newline (1) or did (0). */
WENDRAKE_TABLE_API int64_t wendrake_table_rows(const WendrakeTable* table);
WENDRAKE_TABLE_API int64_t wendrake_table_lines(const WendrakeTable* table);
WENDRAKE_TABLE_API int wendrake_table_unterminated(const WendrakeTable* table);

/* The drive's GPS fixes: "GPS" lines yield no item, so the table reads them
 * itself. With a "RegReport GPS" line their columns are found by name
 * ("Latitude"/"Lat", "Longitude"/"Lon"/"Lng", "Altitude"/"Alt", "Speed",
 * "Heading"/"Course", "Satellites"/"Sats", any case); without one the layout
 * is latitude, longitude, altitude, speed, heading, satellites. A fix is
 * rejected when latitude or longitude is missing, out of range or 0/0, or
 * when it jumps faster than 300 m/s from the last kept fix (unless three
 * fixes in a row agree with each other away from it: then the track moves
 * there). Sets the numbers of kept and rejected fixes. */
WENDRAKE_TABLE_API int wendrake_table_fixes(const WendrakeTable* table, int64_t* accepted,
                                            int64_t* rejected);

/* Column types: the element type of `data`. A category column holds int32
 * codes into `categories` (-1: no value). */
enum {
  WENDRAKE_COLUMN_INT64 = 1,
  WENDRAKE_COLUMN_UINT32 = 2,
  WENDRAKE_COLUMN_INT32 = 3,
  WENDRAKE_COLUMN_INT16 = 4,
  WENDRAKE_COLUMN_FLOAT64 = 5,
  WENDRAKE_COLUMN_CATEGORY = 6
};

/* One column. The columns, in order:
 *   "line"         int64    physical line number of the item, from 1
 *   "record"       category record token ("DM", "CL3", ...)
 *   "code"         uint32   message code
 *   "direction"    int16    WENDRAKE_DIRECTION_*
 *   "stamp"        uint32   stored stamp seconds (depends on the time zone)
 *   "stamp_us"     uint32   stored stamp microseconds
 *   "clock_ms"     int64    the log's own clock as milliseconds since 1970 read
 *                           as UTC; INT64_MIN before the first clock
 *   "log_code", "message_type", "sub_code"
 *                  int32    the fields of a "CL3" item's code; -1 on other rows
 *   "event"        float64  an "EVT" item's event value; NaN on other rows
 *   "event_name"   category an "EVT" item's "EventName" column
 *   "message"      category a "CL3" item's message name (wendrake_message_name)
 *   "latitude", "longitude" (decimal degrees), "altitude", "speed", "heading",
 *   "satellites"   float64  the last GPS fix at or before the item (see
 *                           wendrake_table_fixes); NaN before the first fix
 *   "fix_age"      float64  seconds from that fix to the item; NaN when
 *                           either has no clock
 *   "label"        category the text of the last "LAB" line at or before the
 *                           item (the drive script's step, "Voice call 1
 *                           (MO)"); -1 before the first (see WendrakeNotes)
 *   then one float64 column per parameter that has a value in some item, in
 *   slot order, named as wendrake_param_info names it (or "0x7F01xxxx"): the
 *   value in real units (stored / scale), NaN where the item has none.
 * Pointers stay valid until wendrake_table_free. */
typedef struct WendrakeColumn {
  const char* name;
  int32_t type;
  uint32_t paramId;  /* parameter columns; 0 for the others */
  const void* data;  /* `length` elements of the type */
  int64_t length;
  const char* const* categories; /* category columns: code -> name */
  int32_t categoryCount;
} WendrakeColumn;

/* The values the items' own lines set, of a table built with
 * WENDRAKE_TABLE_SETTINGS, in long form: entry i says that the item in row
 * rows[i] set parameter ids[i] to values[i] (real units, as in a parameter
 * column). Entries run in row order and, within a row, in the order the
 * item's current list names the parameters, each parameter once. */
typedef struct WendrakeSettings {
  int64_t count;
  const int64_t* rows;
  const uint32_t* ids;
  const double* values;
} WendrakeSettings;

/* Fills *settings; WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT for NULL or a table
 * built without WENDRAKE_TABLE_SETTINGS. Pointers stay valid until
 * wendrake_table_free. */
WENDRAKE_TABLE_API int wendrake_table_settings(const WendrakeTable* table, WendrakeSettings* settings);

/* What the drive's script and its tester wrote beside the measurements: the
 * "LAB", "VOT" and "ENT" lines, which yield no item, so the table reads them
 * itself. Their layouts, TAB-separated after the token:
 *   LAB  label text (more fields are joined to it with one blank)
 *   VOT  voice quality score (a decimal number), codec; more fields unread
 *   ENT  kind ("Waypoint"), number, name
 * Entry i is line lines[i] of the log (a piece's lines only, for a piece), at
 * the log's clock clockMs[i] (INT64_MIN before the first clock), of kind
 * kinds[i]: WENDRAKE_NOTE_LABEL with its text, WENDRAKE_NOTE_VOICE_QUALITY
 * with the score in values[i] and the codec as text, or WENDRAKE_NOTE_WAYPOINT
 * with its number in values[i] (NaN if none) and "kind name" as text. texts[i]
 * is a code into names (-1: no text). latitudes[i]/longitudes[i]: the last GPS
 * fix at or before the line (NaN before the first). A "VOT" line whose score
 * is not wholly a decimal number, a "LAB" line without text or an "ENT" line
 * without kind is no entry: `rejected` counts them, for the log so far. */
enum { WENDRAKE_NOTE_LABEL = 1, WENDRAKE_NOTE_VOICE_QUALITY = 2, WENDRAKE_NOTE_WAYPOINT = 3 };

typedef struct WendrakeNotes {
  int64_t count;
  const int64_t* lines;
  const int64_t* clockMs;
  const int32_t* kinds;
  const double* values;
  const int32_t* texts;
  const double* latitudes;
  const double* longitudes;
  const char* const* names;
  int32_t nameCount;
  int64_t rejected;
} WendrakeNotes;

/* Fills *notes; WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT for NULL. Pointers stay
 * valid until wendrake_table_free (for a piece, until the next one). */
WENDRAKE_TABLE_API int wendrake_table_notes(const WendrakeTable* table, WendrakeNotes* notes);

/* The parameter columns lie in one block of float64: the block's column k
 * (0 <= k < columns) holds the values of parameter ids[k] and starts `stride`
 * elements (stride >= rows) after column k-1, so the block is a matrix a
 * caller can hand to a matrix or data-frame library without copying it. The
 * block's columns are in the order the parameters first had a value in the
 * log; the parameter columns above point into it. Fills *block (data NULL
 * when the table has no parameter column); WENDRAKE_OK, or
 * WENDRAKE_ERROR_ARGUMENT for NULL. Valid until wendrake_table_free; the
 * values are the table's own, and a caller that owns the table may write
 * into them. */
typedef struct WendrakeParamBlock {
  const double* data;
  int64_t stride;
  int32_t columns;
  const uint32_t* ids;
} WendrakeParamBlock;

WENDRAKE_TABLE_API int wendrake_table_param_block(const WendrakeTable* table, WendrakeParamBlock* block);

WENDRAKE_TABLE_API int wendrake_table_column_count(const WendrakeTable* table);
/* Fills *column for index 0..count-1; WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT. */
WENDRAKE_TABLE_API int wendrake_table_column(const WendrakeTable* table, int index,
                                             WendrakeColumn* column);

/* ---- Reading a log piece by piece ---------------------------------------- */
/* A reader decodes a log into a series of tables, its pieces: each holds the
 * items of the next `lines` lines of the log (so at most `lines` rows), in
 * memory the next piece reuses. A log of any size is then summarised or
 * written out in the memory of one piece, and memory already taken is
 * written again instead of fresh memory being taken for every row.
 *
 * The pieces, one after the other, are the whole table cut into rows: the
 * same columns, values (carried values included) and "line" numbers (from
 * the log's first line). A piece has a column for each parameter that has had
 * a value so far. Its settings' `rows` count from the piece's first row.
 * wendrake_table_lines gives the lines read so far, wendrake_table_fixes the
 * fixes so far, wendrake_table_unterminated is 1 only on the last piece that
 * ends an unterminated line. A piece may have no rows. */
typedef struct WendrakeTableReader WendrakeTableReader;

/* Flag of the readers only: each next piece is decoded on a second thread
 * while the caller reads the last one, so a caller that does much with each
 * piece takes little more time than the decoding alone. */
#define WENDRAKE_TABLE_READ_AHEAD 4u

/* Opens a reader of a log file, or of a buffer holding a whole log that the
 * caller keeps until wendrake_table_reader_free; `lines` > 0. Flags (with
 * WENDRAKE_TABLE_READ_AHEAD) and result codes as for wendrake_table_from_file. */
WENDRAKE_TABLE_API int wendrake_table_reader_open(const char* path, int moduleType, unsigned flags,
                                                  int64_t lines, WendrakeTableReader** reader);
WENDRAKE_TABLE_API int wendrake_table_reader_from_buffer(const void* data, size_t length, int moduleType,
                                                         unsigned flags, int64_t lines,
                                                         WendrakeTableReader** reader);

/* Decodes the next piece into *piece, or sets *piece to NULL after the last
 * one (every log has at least one piece). The piece belongs to the reader and
 * is valid until the next call or wendrake_table_reader_free; never pass it to
 * wendrake_table_free. WENDRAKE_OK, or a negative result code. */
WENDRAKE_TABLE_API int wendrake_table_reader_next(WendrakeTableReader* reader, const WendrakeTable** piece);

/* Releases a reader and its pieces. NULL is ignored. */
WENDRAKE_TABLE_API void wendrake_table_reader_free(WendrakeTableReader* reader);

/* ---- Names of signalling messages ---------------------------------------- */

/* The name of the message a "CL3" item's message code stands for, from the
 * 3GPP2 standards' tables (C.S0005 message types and orders, C.S0024 EV-DO
 * messages), e.g. "Channel Assignment Message" or "ConnectionRequest"; NULL
 * when the code has no known name. */
WENDRAKE_TABLE_API const char* wendrake_message_name(uint32_t msgCode);

/* The channel a layer-3 log code carries, e.g. "Paging Channel"; NULL for
 * other codes. */
WENDRAKE_TABLE_API const char* wendrake_channel_name(uint16_t logCode);

/* ---- The parameter catalogue --------------------------------------------- */

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

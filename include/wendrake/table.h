/*
 * wendrake table library: whole logs decoded into columns, and what the
 * decoder knows about its parameters, for tools and bindings.
 *
 * Contract of this interface:
 *  1. Handles. A WendrakeTable comes from wendrake_table_from_file or
 *     wendrake_table_from_buffer and is released by wendrake_table_free. A
 *     WendrakeTableReader comes from wendrake_table_reader_open or
 *     wendrake_table_reader_from_buffer and is released by
 *     wendrake_table_reader_free. Both free functions ignore NULL; nothing
 *     else is freed by the caller.
 *  2. Pointers handed out. Everything a table hands out (column names, data
 *     and categories of WendrakeColumn, the arrays of WendrakeSettings,
 *     WendrakeNotes and WendrakeParamBlock) belongs to the table and stays valid until
 *     wendrake_table_free. A reader's piece, and everything it hands out,
 *     stays valid until the next wendrake_table_reader_next on that reader or
 *     wendrake_table_reader_free; a piece is never passed to
 *     wendrake_table_free. The buffer given to wendrake_table_from_buffer is
 *     read during the call only; the one given to
 *     wendrake_table_reader_from_buffer is read as pieces are asked for, so
 *     the caller keeps it until wendrake_table_reader_free.
 *     A WendrakeCells comes from wendrake_cells_start and is released by
 *     wendrake_cells_free (which ignores NULL); what wendrake_cells_get
 *     hands out stays valid until the next wendrake_cells_add on it or
 *     wendrake_cells_free. wendrake_message_fields writes into the caller's
 *     buffer and keeps nothing.
 *  3. Static strings. wendrake_error_message, wendrake_version,
 *     wendrake_message_name, wendrake_channel_name, wendrake_field_name,
 *     wendrake_field_unit, the names of WendrakeParamInfo and of
 *     WendrakeMessages point to constant zero-terminated text of the
 *     library, valid while it is loaded; never free or write them.
 *  4. Structs the caller provides (WendrakeColumn, WendrakeSettings,
 *     WendrakeNotes, WendrakeParamBlock, WendrakeParamInfo, WendrakeMessages,
 *     WendrakeCell) are filled in whole on success
 *     and left alone on failure. Their layout is pinned below.
 *  5. Threads. Separate tables and readers may be used on separate threads;
 *     one table may be read by many threads at once (nothing it hands out
 *     changes), one reader by one thread at a time. The catalogue and name
 *     functions may be called from any thread.
 *  6. Files are read with read(2), never mapped: a log truncated while it is
 *     read (log rotation) ends at its new end, and the lines read so far make
 *     the table; it raises no signal.
 *  7. Result codes. Functions that can fail return WENDRAKE_OK (0) or a
 *     negative WENDRAKE_ERROR_* code, or NULL, and print nothing;
 *     wendrake_error_message names a code. On WENDRAKE_ERROR_OPEN and _READ,
 *     errno says why. The catalogue's wendrake_param_info returns 0 or -1.
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
 * carry (stored = logged value x scale; 1, 100 or 1000), the name tools
 * show for it (the log column that feeds it, or the state word's name), and
 * the unit of its real value ("dBm", "dB", "kbit/s", "%"). */
typedef struct WendrakeParamInfo {
  uint32_t id;
  int32_t slot;        /* index in ReportItem.paramSlots */
  int32_t scale;
  const char* name;    /* NULL when no column feeds the parameter */
  const char* record;  /* record token of that column ("DM"), or NULL */
  const char* unit;    /* NULL for counts, indexes, codes and states, and
                          where the logs do not settle the unit */
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

#define WENDRAKE_TABLE_RECORD_FIELDS 8u /* also a column per record field: each registered
                                          column of a record that feeds no parameter, such
                                          as "HOP.SetType" (see WendrakeColumn) */

#define WENDRAKE_TABLE_MESSAGES 16u /* also the fields of each "CL3" row's signalling
                                          message (wendrake_table_messages) and what
                                          wendrake_cells_add reads; decoding them makes the
                                          build slower, so it is done only when asked */

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
 * is latitude, longitude, altitude, speed, heading, satellites. Each field
 * is a plain decimal number ("-30.25"), latitude and longitude optionally
 * with a hemisphere letter instead of the sign ("30.25S", "120.1W"; S and W
 * are negative). A fix is rejected when a field is anything else (a decimal
 * comma, hexadecimal, an exponent, other letters), when latitude or
 * longitude is missing, out of range or 0/0, or
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
 *   "evdo_state"   category the EV-DO state at the item (see
 *                           wendrake_evdo_state_name): "inactive", "idle" or
 *                           "connected"; -1 before the first state
 *   "label"        category the text of the last "LAB" line at or before the
 *                           item (the drive script's step, "Voice call 1
 *                           (MO)"); -1 before the first (see WendrakeNotes)
 *   then one float64 column per parameter that has a value in some item, in
 *   slot order, named as wendrake_param_info names it (or "0x7F01xxxx"): the
 *   value in real units (stored / scale), NaN where the item has none.
 *   With WENDRAKE_TABLE_RECORD_FIELDS, then one column per record field:
 *   each column a "RegReport" line names for a record whose lines yield
 *   items (not "CL3") and that feeds no parameter, named "RECORD.Column"
 *   ("HOP.SetType", "SC.BaseID", "EVT.Payload"), in the order first
 *   registered, a record and name once. A row has a value only where its own
 *   line has the field (not empty; up to a NUL, as in the item's text).
 *   float64 when every value is wholly a decimal number (sign, digits,
 *   point, exponent; no blanks, hex, "inf" or "nan"), NaN where none;
 *   otherwise a category of the texts in the order they first came. A
 *   reader's pieces have the columns registered so far; a column is float64
 *   while every value so far is a number, and a category from the piece of
 *   its first other value on, with the same codes from piece to piece.
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

/* ---- EV-DO state ---------------------------------------------------------- */
/* What the EV-DO side of a hybrid handset is doing. The decoder derives a
 * state word (WENDRAKE_PARAM_EVDO_STATE) from "CEVS" lines and from 1x
 * traffic-channel signalling; its values are these states:
 *   WENDRAKE_EVDO_INACTIVE   EV-DO is not in use: the handset is on a 1x
 *                            traffic channel (a voice or 1x data call), or
 *                            its EV-DO side sleeps with route updates closed
 *   WENDRAKE_EVDO_IDLE       an EV-DO session without a connection: the
 *                            handset monitors the control channel (dormant)
 *                            or is setting a connection up
 *   WENDRAKE_EVDO_CONNECTED  an EV-DO traffic connection is open
 * The table's "evdo_state" column gives the state at every item. */
enum {
  WENDRAKE_EVDO_INACTIVE = 0,
  WENDRAKE_EVDO_IDLE = 1,
  WENDRAKE_EVDO_CONNECTED = 2,
  WENDRAKE_EVDO_STATE_COUNT = 3
};

/* "inactive", "idle" or "connected"; NULL for other values. */
WENDRAKE_TABLE_API const char* wendrake_evdo_state_name(int state);

/* Changes of the EV-DO state and the log-clock time spent in each, over a
 * table or the pieces of a reader added in order. A change is an item whose
 * state differs from the state before it; the first state is no change. The
 * time from one item with a clock to the next counts to the state at the
 * first; a clock that goes back adds no time. */
typedef struct WendrakeEvdoTally {
  int64_t changes;
  double seconds[WENDRAKE_EVDO_STATE_COUNT];  /* by WENDRAKE_EVDO_* */
  int64_t clockMs;     /* the clock of the last item with one */
  int32_t state;       /* the state after the items added; -1 before any */
  int32_t clockState;  /* the state at the item of clockMs; -1 for none */
} WendrakeEvdoTally;

/* Readies *tally for the first table. */
WENDRAKE_TABLE_API void wendrake_evdo_tally_start(WendrakeEvdoTally* tally);

/* Adds the items of `table` (a whole table, or the next piece of a reader);
 * WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT for NULL. */
WENDRAKE_TABLE_API int wendrake_evdo_tally_add(WendrakeEvdoTally* tally, const WendrakeTable* table);

/* ---- Fields of signalling messages -------------------------------------- */
/* The fields of a "CL3" item's message, decoded after the 3GPP2 standards'
 * tables (C.S0005 for 1x, C.S0024 for EV-DO): names, raw values, real values
 * with units, enumeration names, repeated records. A message shorter than a
 * field it announces is decoded up to the field that does not fit, which is
 * replaced by a marker field "<truncated>" giving the bit where decoding
 * stopped and why; nothing past the item's raw block is ever read. */

/* Formats of wendrake_message_fields. */
#define WENDRAKE_FIELDS_JSON 1 /* one JSON object of the fields in order: a plain field is
                                  its integer; one with a real value, a name or octets an
                                  object of "raw", "value", "unit", "name", "hex"; a
                                  repeated record an array of objects; the marker
                                  "<truncated>": {"bit": N, "reason": "..."}; a name met
                                  again in one object is keyed "NAME#2", "NAME#3"... */
#define WENDRAKE_FIELDS_TEXT 2 /* one field a line, "NAME = raw (value unit, name)", each
                                  line indented by two blanks, the fields of a record's
                                  occurrence under a "[i]" line two blanks further in */

/* Writes the fields of the message in a "CL3" item's raw block (`raw`,
 * `rawLength` bytes, as the item gives them) in `format` into `buffer`, with
 * a terminating zero. Returns the length of the whole text without the zero;
 * when that is not less than `capacity`, nothing but an empty string (for
 * `capacity` > 0) is written and the caller asks again with room for the
 * returned length plus one, so a text is never handed out cut short. A block
 * that holds no logged message gives "{}" or "" (no fields). Returns
 * WENDRAKE_ERROR_ARGUMENT for an unknown format, a NULL `raw` with a length,
 * or a NULL `buffer` with a capacity. */
WENDRAKE_TABLE_API int64_t wendrake_message_fields(const void* raw, size_t rawLength, int format, char* buffer,
                                                   size_t capacity);

/* The catalogue of field names: every name a message's fields may have, each
 * once (the 1x channel headers and messages, then EV-DO, then "<truncated>"),
 * with the unit of its real value. */
WENDRAKE_TABLE_API int wendrake_field_count(void);
/* The name of field `id` (0..count-1), or NULL for another id. */
WENDRAKE_TABLE_API const char* wendrake_field_name(int id);
/* The unit of field `id`'s real value ("deg", "dB"...), or NULL when it has none. */
WENDRAKE_TABLE_API const char* wendrake_field_unit(int id);

/* Message statuses. */
enum {
  WENDRAKE_MESSAGE_COMPLETE = 0,    /* every field the layout lists was decoded */
  WENDRAKE_MESSAGE_TRUNCATED = 1,   /* a field did not fit: the last field is the marker */
  WENDRAKE_MESSAGE_NO_LAYOUT = 2,   /* the channel's framing only: no layout for the body */
  WENDRAKE_MESSAGE_NOT_MESSAGE = 3  /* the bytes are no logged message */
};

/* Kinds of field in the long table. */
enum {
  WENDRAKE_FIELD_INTEGER = 1,   /* value: the raw integer; text: its name, if any */
  WENDRAKE_FIELD_REAL = 2,      /* value: in the catalogue's unit; raw: the bits as read */
  WENDRAKE_FIELD_OCTETS = 3,    /* value: NaN; text: the octets in hex */
  WENDRAKE_FIELD_RECORDS = 4,   /* value: the occurrences of a repeated record, whose
                                   fields follow with paths "NAME[i].FIELD" */
  WENDRAKE_FIELD_TRUNCATED = 5  /* the marker; value: the bit where decoding stopped;
                                   text: why */
};

/* The messages of a table built with WENDRAKE_TABLE_MESSAGES: one per "CL3"
 * row (of the piece, for a reader's piece), in row order. Message i is row
 * rows[i] (counted from the piece's first row), named names[i]
 * (wendrake_message_name of its code; NULL when unknown), of status
 * statuses[i], its fields as the JSON object json[i] (WENDRAKE_FIELDS_JSON).
 * Then every field of every message in long form, in row order and within a
 * message in the order of the standard: entry j belongs to row fieldRows[j],
 * its path is paths[fieldPaths[j]] ("SID", "NEIGHBORS[2].NGHBR_PN"), its name
 * fieldIds[j] in the field catalogue (-1 for a name not in it), its kind
 * fieldKinds[j] (WENDRAKE_FIELD_*), its value values[j], its raw bits raws[j]
 * (the first 64 of octets), its text texts[j] (NULL for none). Path codes
 * stay the same from piece to piece of a reader; a piece's `paths` names
 * every path so far. */
typedef struct WendrakeMessages {
  int64_t count;
  const int64_t* rows;
  const char* const* names;
  const int32_t* statuses;
  const char* const* json;
  int64_t fieldCount;
  const int64_t* fieldRows;
  const int32_t* fieldPaths;
  const int32_t* fieldIds;
  const int32_t* fieldKinds;
  const double* values;
  const uint64_t* raws;
  const char* const* texts;
  const char* const* paths;
  int32_t pathCount;
} WendrakeMessages;

/* Fills *messages; WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT for NULL or a
 * table built without WENDRAKE_TABLE_MESSAGES. Pointers stay valid until
 * wendrake_table_free (for a piece, until the next one). */
WENDRAKE_TABLE_API int wendrake_table_messages(const WendrakeTable* table, WendrakeMessages* messages);

/* ---- Cells ------------------------------------------------------------------ */
/* The cells the drive heard, from the overhead messages of tables built with
 * WENDRAKE_TABLE_MESSAGES: a whole table, or the pieces of a reader added in
 * order (start, add each piece, read the cells, free).
 *   1x base station: each distinct SID, NID, BASE_ID and PILOT_PN of a System
 *     Parameters Message; its position from BASE_LAT/BASE_LONG; its
 *     neighbours: the NGHBR_PN of the Neighbor List and Extended Neighbor
 *     List Messages heard with the same PILOT_PN.
 *   EV-DO sector: each distinct SectorID and PN (of the record header) of a
 *     SectorParameters message; its position from Latitude/Longitude, its
 *     neighbours from NeighborPilotPN; its colour code from a QuickConfig
 *     heard on its PN whose SectorID24 is the SectorID's low 24 bits.
 * Cells come in the order first heard; neighbours in the order first heard,
 * each once. A message cut short before the fields naming its cell adds
 * nothing; one cut short after them adds what it holds. */
enum { WENDRAKE_CELL_1X = 1, WENDRAKE_CELL_EVDO = 2 };

typedef struct WendrakeCell {
  int32_t technology;         /* WENDRAKE_CELL_* */
  int32_t pilotPn;
  int32_t sid;                /* 1x; -1 for EV-DO */
  int32_t nid;                /* 1x; -1 for EV-DO */
  int32_t baseId;             /* 1x; -1 for EV-DO */
  int32_t colorCode;          /* EV-DO; -1 for 1x and without a matching QuickConfig */
  const char* sectorId;       /* EV-DO: the 128-bit SectorID as 32 hex digits; NULL for 1x */
  double latitude;            /* degrees; NaN when no message gave it */
  double longitude;
  int64_t firstClockMs;       /* the log's clock (as the table's "clock_ms") of the first */
  int64_t lastClockMs;        /* and last message that described it; INT64_MIN for none */
  int64_t heard;              /* messages that described it */
  const int32_t* neighbours;  /* neighbour PNs */
  int32_t neighbourCount;
} WendrakeCell;

typedef struct WendrakeCells WendrakeCells;

/* Makes an empty collection in *cells; WENDRAKE_OK, WENDRAKE_ERROR_ARGUMENT
 * or WENDRAKE_ERROR_MEMORY. */
WENDRAKE_TABLE_API int wendrake_cells_start(WendrakeCells** cells);
/* Adds the overhead messages of `table` (a whole table, or the next piece of
 * a reader); WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT for NULL or a table
 * built without WENDRAKE_TABLE_MESSAGES, or WENDRAKE_ERROR_MEMORY. */
WENDRAKE_TABLE_API int wendrake_cells_add(WendrakeCells* cells, const WendrakeTable* table);
/* The number of cells so far (0 for NULL). */
WENDRAKE_TABLE_API int64_t wendrake_cells_count(const WendrakeCells* cells);
/* Fills *cell for index 0..count-1; WENDRAKE_OK, or WENDRAKE_ERROR_ARGUMENT.
 * Its pointers stay valid until the next wendrake_cells_add or
 * wendrake_cells_free. */
WENDRAKE_TABLE_API int wendrake_cells_get(const WendrakeCells* cells, int64_t index, WendrakeCell* cell);
/* Releases the collection. NULL is ignored. */
WENDRAKE_TABLE_API void wendrake_cells_free(WendrakeCells* cells);

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

/* The library's version as one number, MAJOR * 10000 + MINOR * 100 + PATCH:
 * WENDRAKE_VERSION_NUMBER of the header the library was built with, which a
 * caller compares with its own to find a library older than its header. */
WENDRAKE_TABLE_API int wendrake_version_number(void);

/* Number of parameter slots (WENDRAKE_PARAM_COUNT). */
WENDRAKE_TABLE_API int wendrake_param_count(void);

/* Fills *info for slot 0..count-1; returns 0, or -1 for a bad slot or NULL. */
WENDRAKE_TABLE_API int wendrake_param_info(int slot, WendrakeParamInfo* info);

/* Slot of a parameter identifier, or -1 when no slot holds it. */
WENDRAKE_TABLE_API int wendrake_param_slot(uint32_t paramId);

/* ---- Layout ---------------------------------------------------------------- */

/* The structs a caller receives or fills are part of the binary interface,
 * laid out in the platform's natural alignment: pinned here on every
 * compiler, C99 included (hence the array-size trick instead of
 * _Static_assert), for 64-bit pointers and for the two 32-bit layouts
 * (int64_t aligned to 8 bytes, as on 32-bit Windows and ARM; to 4 bytes, as
 * on i386 Linux). WENDRAKE_TABLE_PIN picks the value of the host's layout. */
#if UINTPTR_MAX > 0xFFFFFFFFu
#define WENDRAKE_TABLE_PIN(ptr64, ptr32, i386) (ptr64)
#elif defined(__i386__) && !defined(_WIN32)
#define WENDRAKE_TABLE_PIN(ptr64, ptr32, i386) (i386)
#else
#define WENDRAKE_TABLE_PIN(ptr64, ptr32, i386) (ptr32)
#endif
#define WENDRAKE_TABLE_LAYOUT_CHECK(name, cond) typedef char wendrake_table_layout_##name[(cond) ? 1 : -1]
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_size, sizeof(WendrakeParamInfo) == WENDRAKE_TABLE_PIN(40, 24, 24));
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_id, offsetof(WendrakeParamInfo, id) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_slot, offsetof(WendrakeParamInfo, slot) == WENDRAKE_TABLE_PIN(4, 4, 4));
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_scale, offsetof(WendrakeParamInfo, scale) == WENDRAKE_TABLE_PIN(8, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_name, offsetof(WendrakeParamInfo, name) == WENDRAKE_TABLE_PIN(16, 12, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_record, offsetof(WendrakeParamInfo, record) == WENDRAKE_TABLE_PIN(24, 16, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(param_info_unit, offsetof(WendrakeParamInfo, unit) == WENDRAKE_TABLE_PIN(32, 20, 20));
WENDRAKE_TABLE_LAYOUT_CHECK(column_size, sizeof(WendrakeColumn) == WENDRAKE_TABLE_PIN(48, 32, 32));
WENDRAKE_TABLE_LAYOUT_CHECK(column_name, offsetof(WendrakeColumn, name) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(column_type, offsetof(WendrakeColumn, type) == WENDRAKE_TABLE_PIN(8, 4, 4));
WENDRAKE_TABLE_LAYOUT_CHECK(column_paramId, offsetof(WendrakeColumn, paramId) == WENDRAKE_TABLE_PIN(12, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(column_data, offsetof(WendrakeColumn, data) == WENDRAKE_TABLE_PIN(16, 12, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(column_length, offsetof(WendrakeColumn, length) == WENDRAKE_TABLE_PIN(24, 16, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(column_categories, offsetof(WendrakeColumn, categories) == WENDRAKE_TABLE_PIN(32, 24, 24));
WENDRAKE_TABLE_LAYOUT_CHECK(column_categoryCount,
                            offsetof(WendrakeColumn, categoryCount) == WENDRAKE_TABLE_PIN(40, 28, 28));
WENDRAKE_TABLE_LAYOUT_CHECK(settings_size, sizeof(WendrakeSettings) == WENDRAKE_TABLE_PIN(32, 24, 20));
WENDRAKE_TABLE_LAYOUT_CHECK(settings_count, offsetof(WendrakeSettings, count) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(settings_rows, offsetof(WendrakeSettings, rows) == WENDRAKE_TABLE_PIN(8, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(settings_ids, offsetof(WendrakeSettings, ids) == WENDRAKE_TABLE_PIN(16, 12, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(settings_values, offsetof(WendrakeSettings, values) == WENDRAKE_TABLE_PIN(24, 16, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(param_block_size, sizeof(WendrakeParamBlock) == WENDRAKE_TABLE_PIN(32, 24, 20));
WENDRAKE_TABLE_LAYOUT_CHECK(param_block_data, offsetof(WendrakeParamBlock, data) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(param_block_stride, offsetof(WendrakeParamBlock, stride) == WENDRAKE_TABLE_PIN(8, 8, 4));
WENDRAKE_TABLE_LAYOUT_CHECK(param_block_columns,
                            offsetof(WendrakeParamBlock, columns) == WENDRAKE_TABLE_PIN(16, 16, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(param_block_ids, offsetof(WendrakeParamBlock, ids) == WENDRAKE_TABLE_PIN(24, 20, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(evdo_tally_size, sizeof(WendrakeEvdoTally) == WENDRAKE_TABLE_PIN(48, 48, 48));
WENDRAKE_TABLE_LAYOUT_CHECK(evdo_tally_changes, offsetof(WendrakeEvdoTally, changes) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(evdo_tally_seconds, offsetof(WendrakeEvdoTally, seconds) == WENDRAKE_TABLE_PIN(8, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(evdo_tally_clockMs, offsetof(WendrakeEvdoTally, clockMs) == WENDRAKE_TABLE_PIN(32, 32, 32));
WENDRAKE_TABLE_LAYOUT_CHECK(evdo_tally_state, offsetof(WendrakeEvdoTally, state) == WENDRAKE_TABLE_PIN(40, 40, 40));
WENDRAKE_TABLE_LAYOUT_CHECK(evdo_tally_clockState, offsetof(WendrakeEvdoTally, clockState) == WENDRAKE_TABLE_PIN(44, 44, 44));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_size, sizeof(WendrakeNotes) == WENDRAKE_TABLE_PIN(88, 56, 52));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_count, offsetof(WendrakeNotes, count) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_lines, offsetof(WendrakeNotes, lines) == WENDRAKE_TABLE_PIN(8, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_clockMs, offsetof(WendrakeNotes, clockMs) == WENDRAKE_TABLE_PIN(16, 12, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_kinds, offsetof(WendrakeNotes, kinds) == WENDRAKE_TABLE_PIN(24, 16, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_values, offsetof(WendrakeNotes, values) == WENDRAKE_TABLE_PIN(32, 20, 20));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_texts, offsetof(WendrakeNotes, texts) == WENDRAKE_TABLE_PIN(40, 24, 24));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_latitudes, offsetof(WendrakeNotes, latitudes) == WENDRAKE_TABLE_PIN(48, 28, 28));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_longitudes, offsetof(WendrakeNotes, longitudes) == WENDRAKE_TABLE_PIN(56, 32, 32));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_names, offsetof(WendrakeNotes, names) == WENDRAKE_TABLE_PIN(64, 36, 36));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_nameCount, offsetof(WendrakeNotes, nameCount) == WENDRAKE_TABLE_PIN(72, 40, 40));
WENDRAKE_TABLE_LAYOUT_CHECK(notes_rejected, offsetof(WendrakeNotes, rejected) == WENDRAKE_TABLE_PIN(80, 48, 44));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_size, sizeof(WendrakeMessages) == WENDRAKE_TABLE_PIN(120, 72, 68));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_count, offsetof(WendrakeMessages, count) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_rows, offsetof(WendrakeMessages, rows) == WENDRAKE_TABLE_PIN(8, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_names, offsetof(WendrakeMessages, names) == WENDRAKE_TABLE_PIN(16, 12, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_statuses, offsetof(WendrakeMessages, statuses) == WENDRAKE_TABLE_PIN(24, 16, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_json, offsetof(WendrakeMessages, json) == WENDRAKE_TABLE_PIN(32, 20, 20));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_fieldCount, offsetof(WendrakeMessages, fieldCount) == WENDRAKE_TABLE_PIN(40, 24, 24));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_fieldRows, offsetof(WendrakeMessages, fieldRows) == WENDRAKE_TABLE_PIN(48, 32, 32));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_fieldPaths, offsetof(WendrakeMessages, fieldPaths) == WENDRAKE_TABLE_PIN(56, 36, 36));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_fieldIds, offsetof(WendrakeMessages, fieldIds) == WENDRAKE_TABLE_PIN(64, 40, 40));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_fieldKinds, offsetof(WendrakeMessages, fieldKinds) == WENDRAKE_TABLE_PIN(72, 44, 44));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_values, offsetof(WendrakeMessages, values) == WENDRAKE_TABLE_PIN(80, 48, 48));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_raws, offsetof(WendrakeMessages, raws) == WENDRAKE_TABLE_PIN(88, 52, 52));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_texts, offsetof(WendrakeMessages, texts) == WENDRAKE_TABLE_PIN(96, 56, 56));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_paths, offsetof(WendrakeMessages, paths) == WENDRAKE_TABLE_PIN(104, 60, 60));
WENDRAKE_TABLE_LAYOUT_CHECK(messages_pathCount, offsetof(WendrakeMessages, pathCount) == WENDRAKE_TABLE_PIN(112, 64, 64));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_size, sizeof(WendrakeCell) == WENDRAKE_TABLE_PIN(88, 80, 76));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_technology, offsetof(WendrakeCell, technology) == WENDRAKE_TABLE_PIN(0, 0, 0));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_pilotPn, offsetof(WendrakeCell, pilotPn) == WENDRAKE_TABLE_PIN(4, 4, 4));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_sid, offsetof(WendrakeCell, sid) == WENDRAKE_TABLE_PIN(8, 8, 8));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_nid, offsetof(WendrakeCell, nid) == WENDRAKE_TABLE_PIN(12, 12, 12));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_baseId, offsetof(WendrakeCell, baseId) == WENDRAKE_TABLE_PIN(16, 16, 16));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_colorCode, offsetof(WendrakeCell, colorCode) == WENDRAKE_TABLE_PIN(20, 20, 20));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_sectorId, offsetof(WendrakeCell, sectorId) == WENDRAKE_TABLE_PIN(24, 24, 24));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_latitude, offsetof(WendrakeCell, latitude) == WENDRAKE_TABLE_PIN(32, 32, 28));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_longitude, offsetof(WendrakeCell, longitude) == WENDRAKE_TABLE_PIN(40, 40, 36));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_firstClockMs, offsetof(WendrakeCell, firstClockMs) == WENDRAKE_TABLE_PIN(48, 48, 44));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_lastClockMs, offsetof(WendrakeCell, lastClockMs) == WENDRAKE_TABLE_PIN(56, 56, 52));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_heard, offsetof(WendrakeCell, heard) == WENDRAKE_TABLE_PIN(64, 64, 60));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_neighbours, offsetof(WendrakeCell, neighbours) == WENDRAKE_TABLE_PIN(72, 72, 68));
WENDRAKE_TABLE_LAYOUT_CHECK(cell_neighbourCount, offsetof(WendrakeCell, neighbourCount) == WENDRAKE_TABLE_PIN(80, 76, 72));
#undef WENDRAKE_TABLE_LAYOUT_CHECK

#ifdef __cplusplus
}
#endif

#endif /* WENDRAKE_TABLE_H */

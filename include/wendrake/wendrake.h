/*
 * wendrake: decoder of CDMA 1x / EV-DO drive-test text logs.
 *
 * Conventions of this interface:
 *  1. A host creates one DecoderObject per log with CreateDecoderObjectProc and
 *     frees it with FreeDecoderObjectProc(&handle), which nulls the handle.
 *  2. Host cycle: DecodeMsgProc(chunk) -> GetReportItemCountProc() -> item
 *     accessors with indexes 0..n-1 -> ClearReportItemsProc(). Chunks may split
 *     lines at any byte.
 *  3. Pointers returned by accessors point into the object's item queue and stay
 *     valid until the next DecodeMsgProc on the same object.
 *  4. The queue holds 200 items: decode at most 200 item-yielding lines per
 *     DecodeMsgProc call, or later items are lost ("Overflow! ..." printed).
 *  5. One object must not be used by two threads at once; separate objects are
 *     independent.
 *  6. All records are byte-packed and little-endian; booleans are one byte.
 *  7. Time stamps depend on the host's time zone (local-time conversion).
 *  8. Nothing is raised to the host. Failures are documented return values:
 *
 *       null handle:              -1 for counts and codes, NULL for pointers,
 *                                 false for actions; nothing printed
 *       index out of range:       "Entry parameter 'i' is bound violation"
 *                                 (or 'nodeIdx' / 'paramIdx'), -1 or NULL
 *       unknown module type:      "The moduletype is not Qualcomm type chip", NULL
 *       queue full:               "Overflow! The decoded node number is greater
 *                                  than the default node number.", item lost
 *
 *     Diagnostics are single lines printed to standard output.
 */
#ifndef WENDRAKE_WENDRAKE_H
#define WENDRAKE_WENDRAKE_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#define WENDRAKE_VERSION_MAJOR 0
#define WENDRAKE_VERSION_MINOR 2
#define WENDRAKE_VERSION_PATCH 0
/* The version as one number that grows with every release. */
#define WENDRAKE_VERSION_NUMBER \
  (WENDRAKE_VERSION_MAJOR * 10000 + WENDRAKE_VERSION_MINOR * 100 + WENDRAKE_VERSION_PATCH)

#if defined(_WIN32)
#  if defined(WENDRAKE_BUILDING_LIBRARY)
#    define WENDRAKE_API __declspec(dllexport)
#  else
#    define WENDRAKE_API __declspec(dllimport)
#  endif
#  define WENDRAKE_CALL __cdecl
#else
#  define WENDRAKE_API __attribute__((visibility("default")))
#  define WENDRAKE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Accepted chip module types; the module type forms the high half of most
 * message codes. */
enum {
  WENDRAKE_MODULE_B101 = 0xB101,
  WENDRAKE_MODULE_B200 = 0xB200,
  WENDRAKE_MODULE_B20A = 0xB20A,
  WENDRAKE_MODULE_B20B = 0xB20B,
  WENDRAKE_MODULE_BD00 = 0xBD00
};

/* Sizes of the fixed blocks of a report item. */
#define WENDRAKE_BLOCK_SIZE 5120
#define WENDRAKE_PARAM_COUNT 278
#define WENDRAKE_STRUCT_LIST_CAPACITY 31
#define WENDRAKE_STRUCT_PARAM_COUNT 40
#define WENDRAKE_STRUCT_AREA_SIZE 32505
#define WENDRAKE_REPORT_ITEM_SIZE 52479

/* Parameters the decoder reports besides logged columns: the layer-3 state
 * word (0 idle, 1 access, 2 traffic) and the EV-DO state word (0 inactive,
 * 1 idle or connection setup, 2 connected). */
#define WENDRAKE_PARAM_L3_STATE 0x7F01C102u
#define WENDRAKE_PARAM_EVDO_STATE 0x7F01C103u
/* The event value of an "EVT" line (its "Event" column, hexadecimal). */
#define WENDRAKE_PARAM_EVENT 0x7F01C104u

/* ParamSlot.state values. */
enum {
  WENDRAKE_STATE_NO_VALUE = -1,  /* never set, or dropped with its state */
  WENDRAKE_STATE_INHERITED = 0,  /* value carried over from an earlier line */
  WENDRAKE_STATE_CURRENT = 1     /* set by this item's line */
};

/* ReportItem.direction values. */
enum {
  WENDRAKE_DIRECTION_DOWNLINK = 0,
  WENDRAKE_DIRECTION_UPLINK = 1,
  WENDRAKE_DIRECTION_NONE = 2  /* not a signalling message */
};

/* Time stamps: timeSeconds is mktime of the log's clock read as the host's
 * local standard time, plus WENDRAKE_STAMP_OFFSET seconds. A line before any
 * clock record, or a clock mktime cannot convert, stamps
 * WENDRAKE_STAMP_FAILED (the offset plus mktime's -1). */
#define WENDRAKE_STAMP_OFFSET 28800u
#define WENDRAKE_STAMP_FAILED 28799u

typedef struct DecoderObject DecoderObject;

#pragma pack(push, 1)

/* One scalar decode parameter. state: -1 no value, 0 value from an earlier
 * line, 1 set by this item's line. */
typedef struct ParamSlot {
  int32_t state;
  uint32_t paramId;
  int32_t value;
} ParamSlot;

/* Header of a structured parameter; its payload bytes follow directly. The
 * payload field is 32 bits wide because hosts are often 32-bit programs; in
 * this library it is always 0. */
typedef struct StructParam {
  int32_t state;
  uint32_t paramId;
  uint32_t reserved;
  uint32_t payload;
} StructParam;

/* The time pair handed out by GetReportItemMsgTime. */
typedef struct ReportTime {
  uint32_t seconds;
  uint32_t micros;
} ReportTime;

/* A length-prefixed block (text, raw line, simple), handed out by the
 * GetReportItemBinary* accessors. */
typedef struct ReportBlock {
  uint32_t length;
  uint8_t bytes[WENDRAKE_BLOCK_SIZE];
} ReportBlock;

/* One decoded log line. Parameter lists hold slot references: the byte offset
 * of a ParamSlot within paramSlots (12 x slot index). */
typedef struct ReportItem {
  uint16_t reservedA;
  uint16_t reservedB;
  uint32_t timeSeconds;
  uint32_t timeMicros;
  uint32_t msgCode;
  uint32_t textLength;
  char text[WENDRAKE_BLOCK_SIZE];
  uint32_t rawLength;
  uint8_t raw[WENDRAKE_BLOCK_SIZE];
  uint32_t simpleLength;
  uint8_t simple[WENDRAKE_BLOCK_SIZE];
  uint16_t direction;
  uint16_t curParamCount;
  uint16_t inheritParamCount;
  uint16_t paramCapacity;
  uint16_t curParamList[WENDRAKE_PARAM_COUNT];
  uint16_t inheritParamList[WENDRAKE_PARAM_COUNT];
  ParamSlot paramSlots[WENDRAKE_PARAM_COUNT];
  uint16_t curStructCount;
  uint16_t inheritStructCount;
  uint16_t structCapacity;
  uint16_t curStructList[WENDRAKE_STRUCT_LIST_CAPACITY];
  uint16_t inheritStructList[WENDRAKE_STRUCT_LIST_CAPACITY];
  uint8_t structParams[WENDRAKE_STRUCT_AREA_SIZE];
} ReportItem;

#pragma pack(pop)

/* The layout is part of the binary interface: pinned on every compiler,
 * C99 included (hence the array-size trick instead of _Static_assert). */
#define WENDRAKE_LAYOUT_CHECK(name, cond) typedef char wendrake_layout_##name[(cond) ? 1 : -1]
WENDRAKE_LAYOUT_CHECK(param_slot_size, sizeof(ParamSlot) == 12);
WENDRAKE_LAYOUT_CHECK(struct_param_size, sizeof(StructParam) == 16);
WENDRAKE_LAYOUT_CHECK(report_time_size, sizeof(ReportTime) == 8);
WENDRAKE_LAYOUT_CHECK(report_block_size, sizeof(ReportBlock) == 5124);
WENDRAKE_LAYOUT_CHECK(item_size, sizeof(ReportItem) == WENDRAKE_REPORT_ITEM_SIZE);
WENDRAKE_LAYOUT_CHECK(off_reservedB, offsetof(ReportItem, reservedB) == 2);
WENDRAKE_LAYOUT_CHECK(off_timeSeconds, offsetof(ReportItem, timeSeconds) == 4);
WENDRAKE_LAYOUT_CHECK(off_timeMicros, offsetof(ReportItem, timeMicros) == 8);
WENDRAKE_LAYOUT_CHECK(off_msgCode, offsetof(ReportItem, msgCode) == 12);
WENDRAKE_LAYOUT_CHECK(off_textLength, offsetof(ReportItem, textLength) == 16);
WENDRAKE_LAYOUT_CHECK(off_text, offsetof(ReportItem, text) == 20);
WENDRAKE_LAYOUT_CHECK(off_rawLength, offsetof(ReportItem, rawLength) == 5140);
WENDRAKE_LAYOUT_CHECK(off_raw, offsetof(ReportItem, raw) == 5144);
WENDRAKE_LAYOUT_CHECK(off_simpleLength, offsetof(ReportItem, simpleLength) == 10264);
WENDRAKE_LAYOUT_CHECK(off_simple, offsetof(ReportItem, simple) == 10268);
WENDRAKE_LAYOUT_CHECK(off_direction, offsetof(ReportItem, direction) == 15388);
WENDRAKE_LAYOUT_CHECK(off_curParamCount, offsetof(ReportItem, curParamCount) == 15390);
WENDRAKE_LAYOUT_CHECK(off_inheritParamCount, offsetof(ReportItem, inheritParamCount) == 15392);
WENDRAKE_LAYOUT_CHECK(off_paramCapacity, offsetof(ReportItem, paramCapacity) == 15394);
WENDRAKE_LAYOUT_CHECK(off_curParamList, offsetof(ReportItem, curParamList) == 15396);
WENDRAKE_LAYOUT_CHECK(off_inheritParamList, offsetof(ReportItem, inheritParamList) == 15952);
WENDRAKE_LAYOUT_CHECK(off_paramSlots, offsetof(ReportItem, paramSlots) == 16508);
WENDRAKE_LAYOUT_CHECK(off_curStructCount, offsetof(ReportItem, curStructCount) == 19844);
WENDRAKE_LAYOUT_CHECK(off_inheritStructCount, offsetof(ReportItem, inheritStructCount) == 19846);
WENDRAKE_LAYOUT_CHECK(off_structCapacity, offsetof(ReportItem, structCapacity) == 19848);
WENDRAKE_LAYOUT_CHECK(off_curStructList, offsetof(ReportItem, curStructList) == 19850);
WENDRAKE_LAYOUT_CHECK(off_inheritStructList, offsetof(ReportItem, inheritStructList) == 19912);
WENDRAKE_LAYOUT_CHECK(off_structParams, offsetof(ReportItem, structParams) == 19974);
WENDRAKE_LAYOUT_CHECK(param_slot_value, offsetof(ParamSlot, value) == 8);
WENDRAKE_LAYOUT_CHECK(struct_param_payload, offsetof(StructParam, payload) == 12);
WENDRAKE_LAYOUT_CHECK(block_bytes, offsetof(ReportBlock, bytes) == 4);
WENDRAKE_LAYOUT_CHECK(one_byte_bool, sizeof(bool) == 1);
#undef WENDRAKE_LAYOUT_CHECK

/* ---- Lifecycle ---------------------------------------------------------- */

/* Returns a new decoder for one of the five module types, or NULL (with a
 * diagnostic) for any other value. */
WENDRAKE_API DecoderObject* WENDRAKE_CALL CreateDecoderObjectProc(int moduleType);

/* Frees *handle and sets it to NULL. False if handle or *handle is NULL. */
WENDRAKE_API bool WENDRAKE_CALL FreeDecoderObjectProc(DecoderObject** handle);

/* Checks a filter (type 1) or scale (type 2) table: little-endian int32 count
 * N (0..100) then N entries of 8 bytes; size must be N * 8 + 4. The tables
 * change no decoding result. Other types return true. */
WENDRAKE_API bool WENDRAKE_CALL SetDecoderConfiguration(DecoderObject* decoder, int type,
                                                        const uint8_t* buffer, int size);

/* ---- Decoding ----------------------------------------------------------- */

/* Feeds `length` bytes of log text. A fourth argument, which some hosts pass,
 * is accepted and ignored. False on NULL arguments or length <= 0. */
WENDRAKE_API bool WENDRAKE_CALL DecodeMsgProc(DecoderObject* decoder, const char* text, int length,
                                              ...);

/* Moves all queued items into the snapshot and returns their number. */
WENDRAKE_API int WENDRAKE_CALL GetReportItemCountProc(DecoderObject* decoder);

/* Discards queued items that were not taken; the snapshot stays readable. */
WENDRAKE_API bool WENDRAKE_CALL ClearReportItemsProc(DecoderObject* decoder);

/* ---- Item accessors (index below the last GetReportItemCountProc) ------ */

WENDRAKE_API ReportItem* WENDRAKE_CALL GetReportItemProc(DecoderObject* decoder, int i);
WENDRAKE_API int WENDRAKE_CALL GetReportItemMsgCode(DecoderObject* decoder, int i);
WENDRAKE_API int WENDRAKE_CALL GetReportItemMsgDirection(DecoderObject* decoder, int i);
WENDRAKE_API ReportTime* WENDRAKE_CALL GetReportItemMsgTime(DecoderObject* decoder, int i);
/* Text block: XML text, or for "CL3" items the message body (binary). */
WENDRAKE_API ReportBlock* WENDRAKE_CALL GetReportItemBinary(DecoderObject* decoder, int i);
/* Raw block: the log line, or for "CL3" items the decoded message record. */
WENDRAKE_API ReportBlock* WENDRAKE_CALL GetReportItemBinaryToRCUFilter(DecoderObject* decoder, int i);
/* Simple block: always length 0. */
WENDRAKE_API ReportBlock* WENDRAKE_CALL GetReportItemBinaryToRCUSimple(DecoderObject* decoder, int i);

WENDRAKE_API int WENDRAKE_CALL GetReportItemCurDecodeParamCount(DecoderObject* decoder, int i);
WENDRAKE_API int WENDRAKE_CALL GetReportItemInheritDecodeParamCount(DecoderObject* decoder, int i);
WENDRAKE_API ParamSlot* WENDRAKE_CALL GetReportItemCurDecodeParamList(DecoderObject* decoder,
                                                                      int nodeIdx, int paramIdx);
WENDRAKE_API ParamSlot* WENDRAKE_CALL GetReportItemInheritDecodeParamList(DecoderObject* decoder,
                                                                          int nodeIdx,
                                                                          int paramIdx);

/* Structured parameters: the counts are always 0 in this library. */
WENDRAKE_API int WENDRAKE_CALL GetReportItemCurDecodeStructParamCount(DecoderObject* decoder,
                                                                      int i);
WENDRAKE_API int WENDRAKE_CALL GetReportItemInheritDecodeStructParamCount(DecoderObject* decoder,
                                                                          int i);
WENDRAKE_API StructParam* WENDRAKE_CALL GetReportItemCurDecodeStructParamList(
    DecoderObject* decoder, int nodeIdx, int paramIdx);
WENDRAKE_API StructParam* WENDRAKE_CALL GetReportItemInheritDecodeStructParamList(
    DecoderObject* decoder, int nodeIdx, int paramIdx);

/* ---- Function-pointer types, for hosts that load the library at run time
 * (dlsym / GetProcAddress). One per export, in the order above. */

typedef DecoderObject*(WENDRAKE_CALL* CreateDecoderObjectProcFn)(int moduleType);
typedef bool(WENDRAKE_CALL* FreeDecoderObjectProcFn)(DecoderObject** handle);
typedef bool(WENDRAKE_CALL* SetDecoderConfigurationFn)(DecoderObject* decoder, int type,
                                                       const uint8_t* buffer, int size);
typedef bool(WENDRAKE_CALL* DecodeMsgProcFn)(DecoderObject* decoder, const char* text, int length,
                                             ...);
typedef int(WENDRAKE_CALL* GetReportItemCountProcFn)(DecoderObject* decoder);
typedef bool(WENDRAKE_CALL* ClearReportItemsProcFn)(DecoderObject* decoder);
typedef ReportItem*(WENDRAKE_CALL* GetReportItemProcFn)(DecoderObject* decoder, int i);
typedef int(WENDRAKE_CALL* GetReportItemMsgCodeFn)(DecoderObject* decoder, int i);
typedef int(WENDRAKE_CALL* GetReportItemMsgDirectionFn)(DecoderObject* decoder, int i);
typedef ReportTime*(WENDRAKE_CALL* GetReportItemMsgTimeFn)(DecoderObject* decoder, int i);
typedef ReportBlock*(WENDRAKE_CALL* GetReportItemBinaryFn)(DecoderObject* decoder, int i);
typedef ReportBlock*(WENDRAKE_CALL* GetReportItemBinaryToRCUFilterFn)(DecoderObject* decoder,
                                                                      int i);
typedef ReportBlock*(WENDRAKE_CALL* GetReportItemBinaryToRCUSimpleFn)(DecoderObject* decoder,
                                                                      int i);
typedef int(WENDRAKE_CALL* GetReportItemCurDecodeParamCountFn)(DecoderObject* decoder, int i);
typedef int(WENDRAKE_CALL* GetReportItemInheritDecodeParamCountFn)(DecoderObject* decoder, int i);
typedef ParamSlot*(WENDRAKE_CALL* GetReportItemCurDecodeParamListFn)(DecoderObject* decoder,
                                                                     int nodeIdx, int paramIdx);
typedef ParamSlot*(WENDRAKE_CALL* GetReportItemInheritDecodeParamListFn)(DecoderObject* decoder,
                                                                         int nodeIdx,
                                                                         int paramIdx);
typedef int(WENDRAKE_CALL* GetReportItemCurDecodeStructParamCountFn)(DecoderObject* decoder,
                                                                     int i);
typedef int(WENDRAKE_CALL* GetReportItemInheritDecodeStructParamCountFn)(DecoderObject* decoder,
                                                                         int i);
typedef StructParam*(WENDRAKE_CALL* GetReportItemCurDecodeStructParamListFn)(
    DecoderObject* decoder, int nodeIdx, int paramIdx);
typedef StructParam*(WENDRAKE_CALL* GetReportItemInheritDecodeStructParamListFn)(
    DecoderObject* decoder, int nodeIdx, int paramIdx);

#ifdef __cplusplus
}
#endif

#endif /* WENDRAKE_WENDRAKE_H */

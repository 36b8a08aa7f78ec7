/* A host in plain C that loads the library at run time, as Windows analysis
 * programs do: LoadLibraryA and GetProcAddress for all 21 exports. Built for
 * Linux, the same source uses dlopen and dlsym, so the item dumps of the DLL
 * under wine and of the shared library on Linux can be compared line by line.
 *
 *   host_win LIBRARY LOG [--hashes]
 *
 * Feeds LOG one line per DecodeMsgProc call (so the 200-item queue cannot
 * overflow) and prints one line per item:
 *
 *   code direction seconds micros textLength rawLength curCount inheritCount
 *
 * with the code as 8 hex digits. --hashes appends FNV-1a hashes of the text
 * block and of the current and inherited parameters, which catch numbers that
 * convert differently on the two runtimes.
 *
 * Every item is also read through GetReportItemProc and checked against the
 * accessors: a packing or calling-convention mismatch between host and
 * library shows as a failure (exit status 1) rather than as odd numbers. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "wendrake/wendrake.h"

#if defined(_WIN32)
#include <windows.h>
typedef HMODULE Library;
static Library OpenLibrary(const char* path) { return LoadLibraryA(path); }
/* FARPROC goes through the generic function pointer type, which GCC accepts
 * as a cast to any other function type. */
typedef void (*AnyFunction)(void);
static AnyFunction FindFunction(Library library, const char* name) {
  return (AnyFunction)GetProcAddress(library, name);
}
#else
#include <dlfcn.h>
typedef void* Library;
static Library OpenLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
typedef void (*AnyFunction)(void);
static AnyFunction FindFunction(Library library, const char* name) {
  /* dlsym returns an object pointer; POSIX guarantees it converts. */
  void* symbol = dlsym(library, name);
  AnyFunction function;
  memcpy(&function, &symbol, sizeof function);
  return function;
}
#endif

/* The exports, typed by the header's function-pointer types. */
static struct {
  CreateDecoderObjectProcFn create;
  FreeDecoderObjectProcFn free;
  SetDecoderConfigurationFn configure;
  DecodeMsgProcFn decode;
  GetReportItemCountProcFn count;
  ClearReportItemsProcFn clear;
  GetReportItemProcFn item;
  GetReportItemMsgCodeFn code;
  GetReportItemMsgDirectionFn direction;
  GetReportItemMsgTimeFn time;
  GetReportItemBinaryFn text;
  GetReportItemBinaryToRCUFilterFn raw;
  GetReportItemBinaryToRCUSimpleFn simple;
  GetReportItemCurDecodeParamCountFn curCount;
  GetReportItemInheritDecodeParamCountFn inheritCount;
  GetReportItemCurDecodeParamListFn curList;
  GetReportItemInheritDecodeParamListFn inheritList;
  GetReportItemCurDecodeStructParamCountFn curStructCount;
  GetReportItemInheritDecodeStructParamCountFn inheritStructCount;
  GetReportItemCurDecodeStructParamListFn curStructList;
  GetReportItemInheritDecodeStructParamListFn inheritStructList;
} api;

/* Export names in the order of the header. */
static const char* const kExports[] = {
    "CreateDecoderObjectProc",
    "FreeDecoderObjectProc",
    "SetDecoderConfiguration",
    "DecodeMsgProc",
    "GetReportItemCountProc",
    "ClearReportItemsProc",
    "GetReportItemProc",
    "GetReportItemMsgCode",
    "GetReportItemMsgDirection",
    "GetReportItemMsgTime",
    "GetReportItemBinary",
    "GetReportItemBinaryToRCUFilter",
    "GetReportItemBinaryToRCUSimple",
    "GetReportItemCurDecodeParamCount",
    "GetReportItemInheritDecodeParamCount",
    "GetReportItemCurDecodeParamList",
    "GetReportItemInheritDecodeParamList",
    "GetReportItemCurDecodeStructParamCount",
    "GetReportItemInheritDecodeStructParamCount",
    "GetReportItemCurDecodeStructParamList",
    "GetReportItemInheritDecodeStructParamList",
};
#define EXPORT_COUNT (sizeof kExports / sizeof kExports[0])

/* Finds every export; false (with the missing name printed) if one lacks. */
static bool LoadExports(Library library) {
  AnyFunction found[EXPORT_COUNT];
  size_t e;
  for (e = 0; e < EXPORT_COUNT; ++e) {
    found[e] = FindFunction(library, kExports[e]);
    if (found[e] == NULL) {
      fprintf(stderr, "host_win: %s is not exported\n", kExports[e]);
      return false;
    }
  }
  api.create = (CreateDecoderObjectProcFn)found[0];
  api.free = (FreeDecoderObjectProcFn)found[1];
  api.configure = (SetDecoderConfigurationFn)found[2];
  api.decode = (DecodeMsgProcFn)found[3];
  api.count = (GetReportItemCountProcFn)found[4];
  api.clear = (ClearReportItemsProcFn)found[5];
  api.item = (GetReportItemProcFn)found[6];
  api.code = (GetReportItemMsgCodeFn)found[7];
  api.direction = (GetReportItemMsgDirectionFn)found[8];
  api.time = (GetReportItemMsgTimeFn)found[9];
  api.text = (GetReportItemBinaryFn)found[10];
  api.raw = (GetReportItemBinaryToRCUFilterFn)found[11];
  api.simple = (GetReportItemBinaryToRCUSimpleFn)found[12];
  api.curCount = (GetReportItemCurDecodeParamCountFn)found[13];
  api.inheritCount = (GetReportItemInheritDecodeParamCountFn)found[14];
  api.curList = (GetReportItemCurDecodeParamListFn)found[15];
  api.inheritList = (GetReportItemInheritDecodeParamListFn)found[16];
  api.curStructCount = (GetReportItemCurDecodeStructParamCountFn)found[17];
  api.inheritStructCount = (GetReportItemInheritDecodeStructParamCountFn)found[18];
  api.curStructList = (GetReportItemCurDecodeStructParamListFn)found[19];
  api.inheritStructList = (GetReportItemInheritDecodeStructParamListFn)found[20];
  return true;
}

/* Reads a whole file into a heap buffer; NULL if it cannot. */
static char* ReadWholeFile(const char* path, long* size) {
  FILE* file = fopen(path, "rb");
  char* data = NULL;
  if (file == NULL) return NULL;
  if (fseek(file, 0, SEEK_END) == 0 && (*size = ftell(file)) >= 0 && fseek(file, 0, SEEK_SET) == 0) {
    data = (char*)malloc((size_t)*size + 1);
    if (data != NULL && fread(data, 1, (size_t)*size, file) != (size_t)*size) {
      free(data);
      data = NULL;
    }
  }
  fclose(file);
  return data;
}

static int failures = 0;

static void Check(int ok, long item, const char* what) {
  if (!ok) {
    fprintf(stderr, "host_win: item %ld: %s\n", item, what);
    ++failures;
  }
}

static uint32_t Fnv(uint32_t hash, const void* data, size_t size) {
  const unsigned char* bytes = (const unsigned char*)data;
  size_t i;
  for (i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

static uint32_t HashParams(DecoderObject* decoder, GetReportItemCurDecodeParamListFn list,
                           const ReportItem* item, const uint16_t* refs, int index,
                           int count) {
  uint32_t hash = 2166136261u;
  int p;
  for (p = 0; p < count; ++p) {
    const ParamSlot* slot = list(decoder, index, p);
    Check(slot == &item->paramSlots[refs[p] / sizeof(ParamSlot)], index, "parameter slot");
    if (slot == NULL) continue;
    hash = Fnv(hash, &slot->paramId, sizeof slot->paramId);
    hash = Fnv(hash, &slot->state, sizeof slot->state);
    hash = Fnv(hash, &slot->value, sizeof slot->value);
  }
  return hash;
}

/* Reads every item of one cycle, prints it, and checks the accessors against
 * the item record. */
static void Drain(DecoderObject* decoder, int hashes, long* printed) {
  const int n = api.count(decoder);
  int i;
  for (i = 0; i < n; ++i) {
    const long at = *printed + i;
    const ReportItem* item = api.item(decoder, i);
    const ReportTime* time = api.time(decoder, i);
    const ReportBlock* text = api.text(decoder, i);
    const ReportBlock* raw = api.raw(decoder, i);
    const ReportBlock* simple = api.simple(decoder, i);
    const uint32_t code = (uint32_t)api.code(decoder, i);
    const int direction = api.direction(decoder, i);
    const int cur = api.curCount(decoder, i);
    const int inherit = api.inheritCount(decoder, i);
    if (item == NULL || time == NULL || text == NULL || raw == NULL || simple == NULL) {
      Check(0, at, "accessor returned NULL");
      continue;
    }
    Check(item->msgCode == code, at, "message code");
    Check(item->direction == direction, at, "direction");
    Check((const void*)time == (const void*)&item->timeSeconds, at, "time address");
    Check((const void*)text == (const void*)&item->textLength, at, "text block address");
    Check((const void*)raw == (const void*)&item->rawLength, at, "raw block address");
    Check((const void*)simple == (const void*)&item->simpleLength && simple->length == 0, at,
          "simple block");
    Check(item->curParamCount == cur && item->inheritParamCount == inherit, at, "parameter counts");
    Check(api.curStructCount(decoder, i) == 0 && api.inheritStructCount(decoder, i) == 0, at,
          "structured parameter counts");
    printf("%08X %d %lu %lu %lu %lu %d %d", (unsigned)code, direction,
           (unsigned long)time->seconds, (unsigned long)time->micros,
           (unsigned long)text->length, (unsigned long)raw->length, cur, inherit);
    if (hashes) {
      const uint32_t textHash = Fnv(2166136261u, text->bytes, text->length);
      const uint32_t curHash = HashParams(decoder, api.curList, item, item->curParamList, i, cur);
      const uint32_t inheritHash =
          HashParams(decoder, api.inheritList, item, item->inheritParamList, i, inherit);
      printf(" %08lX %08lX %08lX", (unsigned long)textHash, (unsigned long)curHash,
             (unsigned long)inheritHash);
    }
    printf("\n");
  }
  *printed += n;
  api.clear(decoder);
}

int main(int argc, char** argv) {
  const uint8_t emptyScaleTable[4] = {0, 0, 0, 0};
  const int hashes = argc == 4 && strcmp(argv[3], "--hashes") == 0;
  Library library;
  DecoderObject* decoder;
  char* log;
  long size = 0, start, end;
  long printed = 0;

  if (argc != 3 && !hashes) {
    fprintf(stderr, "usage: host_win LIBRARY LOG [--hashes]\n");
    return 2;
  }
  library = OpenLibrary(argv[1]);
  if (library == NULL) {
    fprintf(stderr, "host_win: cannot load %s\n", argv[1]);
    return 2;
  }
  if (!LoadExports(library)) return 2;
  log = ReadWholeFile(argv[2], &size);
  if (log == NULL) {
    fprintf(stderr, "host_win: cannot read %s\n", argv[2]);
    return 2;
  }

  decoder = api.create(WENDRAKE_MODULE_B101);
  if (decoder == NULL || !api.configure(decoder, 2, emptyScaleTable, (int)sizeof emptyScaleTable)) {
    fprintf(stderr, "host_win: cannot create a decoder\n");
    return 2;
  }
  /* One line, newline included, per call; a last line without a newline is
   * fed as it is and stays pending, as it would in a host. */
  for (start = 0; start < size; start = end) {
    end = start;
    while (end < size && log[end] != '\n') ++end;
    if (end < size) ++end;
    api.decode(decoder, log + start, (int)(end - start));
    Drain(decoder, hashes, &printed);
  }
  free(log);
  Check(api.free(&decoder) && decoder == NULL, printed, "free");
  fflush(stdout);
  fprintf(stderr, "host_win: %ld items\n", printed);
  return failures == 0 ? 0 : 1;
}

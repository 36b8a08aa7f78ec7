/*
 * A plain C99 host of libwendrake. It loads the library at run time with
 * dlopen, resolves the 21 exported functions by name, and runs the host
 * cycle over a log file: feed a chunk, take the items, read them, clear.
 * For every item it prints one line:
 *
 *   code direction seconds micros textLength rawLength curParams inheritParams
 *
 * Usage: wendrake_host LOG [LIBRARY]   (LIBRARY defaults to libwendrake.so.0)
 *
 * The header is included for the record types only; no function of the
 * library is linked, so this program builds without the library present.
 */
#define _POSIX_C_SOURCE 200809L

#include <dlfcn.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "wendrake/wendrake.h"

/* The 21 exports, named as the library names them. */
struct Api {
  DecoderObject* (*CreateDecoderObjectProc)(int);
  bool (*FreeDecoderObjectProc)(DecoderObject**);
  bool (*SetDecoderConfiguration)(DecoderObject*, int, const uint8_t*, int);
  bool (*DecodeMsgProc)(DecoderObject*, const char*, int, ...);
  int (*GetReportItemCountProc)(DecoderObject*);
  bool (*ClearReportItemsProc)(DecoderObject*);
  ReportItem* (*GetReportItemProc)(DecoderObject*, int);
  int (*GetReportItemMsgCode)(DecoderObject*, int);
  int (*GetReportItemMsgDirection)(DecoderObject*, int);
  ReportTime* (*GetReportItemMsgTime)(DecoderObject*, int);
  ReportBlock* (*GetReportItemBinary)(DecoderObject*, int);
  ReportBlock* (*GetReportItemBinaryToRCUFilter)(DecoderObject*, int);
  ReportBlock* (*GetReportItemBinaryToRCUSimple)(DecoderObject*, int);
  int (*GetReportItemCurDecodeParamCount)(DecoderObject*, int);
  int (*GetReportItemInheritDecodeParamCount)(DecoderObject*, int);
  ParamSlot* (*GetReportItemCurDecodeParamList)(DecoderObject*, int, int);
  ParamSlot* (*GetReportItemInheritDecodeParamList)(DecoderObject*, int, int);
  int (*GetReportItemCurDecodeStructParamCount)(DecoderObject*, int);
  int (*GetReportItemInheritDecodeStructParamCount)(DecoderObject*, int);
  StructParam* (*GetReportItemCurDecodeStructParamList)(DecoderObject*, int, int);
  StructParam* (*GetReportItemInheritDecodeStructParamList)(DecoderObject*, int, int);
};

/* Resolves every export; 0 and a message when one is missing. */
static int Resolve(void* library, struct Api* api) {
  struct {
    const char* name;
    void* slot; /* address of the function pointer to fill */
  } exports[] = {
#define EXPORT(name) {#name, &api->name}
      EXPORT(CreateDecoderObjectProc),
      EXPORT(FreeDecoderObjectProc),
      EXPORT(SetDecoderConfiguration),
      EXPORT(DecodeMsgProc),
      EXPORT(GetReportItemCountProc),
      EXPORT(ClearReportItemsProc),
      EXPORT(GetReportItemProc),
      EXPORT(GetReportItemMsgCode),
      EXPORT(GetReportItemMsgDirection),
      EXPORT(GetReportItemMsgTime),
      EXPORT(GetReportItemBinary),
      EXPORT(GetReportItemBinaryToRCUFilter),
      EXPORT(GetReportItemBinaryToRCUSimple),
      EXPORT(GetReportItemCurDecodeParamCount),
      EXPORT(GetReportItemInheritDecodeParamCount),
      EXPORT(GetReportItemCurDecodeParamList),
      EXPORT(GetReportItemInheritDecodeParamList),
      EXPORT(GetReportItemCurDecodeStructParamCount),
      EXPORT(GetReportItemInheritDecodeStructParamCount),
      EXPORT(GetReportItemCurDecodeStructParamList),
      EXPORT(GetReportItemInheritDecodeStructParamList),
#undef EXPORT
  };
  size_t i;
  for (i = 0; i < sizeof exports / sizeof exports[0]; ++i) {
    void* symbol = dlsym(library, exports[i].name);
    if (symbol == NULL) {
      fprintf(stderr, "wendrake_host: %s not found: %s\n", exports[i].name, dlerror());
      return 0;
    }
    /* POSIX guarantees that a function pointer round-trips through void*;
     * copying the bytes avoids a cast that ISO C leaves undefined. */
    memcpy(exports[i].slot, &symbol, sizeof symbol);
  }
  return 1;
}

/* Takes the items of the last chunk, prints them and clears the queue. */
static void DrainItems(const struct Api* api, DecoderObject* decoder) {
  const int count = api->GetReportItemCountProc(decoder);
  int i;
  for (i = 0; i < count; ++i) {
    const ReportTime* time = api->GetReportItemMsgTime(decoder, i);
    const ReportBlock* text = api->GetReportItemBinary(decoder, i);
    const ReportBlock* raw = api->GetReportItemBinaryToRCUFilter(decoder, i);
    printf("%08" PRIX32 " %d %" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32 " %d %d\n",
           (uint32_t)api->GetReportItemMsgCode(decoder, i), api->GetReportItemMsgDirection(decoder, i),
           time->seconds, time->micros, text->length, raw->length,
           api->GetReportItemCurDecodeParamCount(decoder, i),
           api->GetReportItemInheritDecodeParamCount(decoder, i));
  }
  api->ClearReportItemsProc(decoder);
}

/* Feeds the file in chunks that hold at most 200 newlines, so no call can
 * complete more than 200 lines and overflow the 200-item queue. A chunk may
 * end inside a line: the library keeps the partial line for the next call. */
static int DecodeFile(const struct Api* api, DecoderObject* decoder, FILE* file) {
  static char block[64 * 1024];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) {
    size_t start = 0;
    while (start < got) {
      size_t end = start;
      int lines = 0;
      while (end < got && lines < 200) {
        if (block[end++] == '\n') ++lines;
      }
      if (!api->DecodeMsgProc(decoder, block + start, (int)(end - start))) {
        fprintf(stderr, "wendrake_host: DecodeMsgProc failed\n");
        return 0;
      }
      /* Item pointers stay valid until the next DecodeMsgProc: read now. */
      DrainItems(api, decoder);
      start = end;
    }
  }
  return !ferror(file);
}

int main(int argc, char** argv) {
  struct Api api;
  void* library;
  DecoderObject* decoder;
  FILE* file;
  int ok;

  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: wendrake_host LOG [LIBRARY]\n");
    return 2;
  }
  library = dlopen(argc == 3 ? argv[2] : "libwendrake.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "wendrake_host: %s\n", dlerror());
    return 2;
  }
  if (!Resolve(library, &api)) return 2;
  file = fopen(argv[1], "rb");
  if (file == NULL) {
    perror(argv[1]);
    return 2;
  }
  decoder = api.CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  if (decoder == NULL) return 1;
  ok = DecodeFile(&api, decoder, file);
  api.FreeDecoderObjectProc(&decoder);
  fclose(file);
  dlclose(library);
  return ok ? 0 : 1;
}

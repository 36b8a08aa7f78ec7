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
#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "wendrake/wendrake.h"

/* The 21 exports, named as the library names them and typed by the
 * header's function-pointer types. */
struct Api {
  CreateDecoderObjectProcFn CreateDecoderObjectProc;
  FreeDecoderObjectProcFn FreeDecoderObjectProc;
  SetDecoderConfigurationFn SetDecoderConfiguration;
  DecodeMsgProcFn DecodeMsgProc;
  GetReportItemCountProcFn GetReportItemCountProc;
  ClearReportItemsProcFn ClearReportItemsProc;
  GetReportItemProcFn GetReportItemProc;
  GetReportItemMsgCodeFn GetReportItemMsgCode;
  GetReportItemMsgDirectionFn GetReportItemMsgDirection;
  GetReportItemMsgTimeFn GetReportItemMsgTime;
  GetReportItemBinaryFn GetReportItemBinary;
  GetReportItemBinaryToRCUFilterFn GetReportItemBinaryToRCUFilter;
  GetReportItemBinaryToRCUSimpleFn GetReportItemBinaryToRCUSimple;
  GetReportItemCurDecodeParamCountFn GetReportItemCurDecodeParamCount;
  GetReportItemInheritDecodeParamCountFn GetReportItemInheritDecodeParamCount;
  GetReportItemCurDecodeParamListFn GetReportItemCurDecodeParamList;
  GetReportItemInheritDecodeParamListFn GetReportItemInheritDecodeParamList;
  GetReportItemCurDecodeStructParamCountFn GetReportItemCurDecodeStructParamCount;
  GetReportItemInheritDecodeStructParamCountFn GetReportItemInheritDecodeStructParamCount;
  GetReportItemCurDecodeStructParamListFn GetReportItemCurDecodeStructParamList;
  GetReportItemInheritDecodeStructParamListFn GetReportItemInheritDecodeStructParamList;
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

/* Prints "wendrake_host: PATH: message" on standard error, with control
 * bytes of the name escaped so that they cannot rewrite the terminal. */
static void Complain(const char* path, const char* message) {
  const unsigned char* c;
  fprintf(stderr, "wendrake_host: ");
  for (c = (const unsigned char*)path; *c != '\0'; ++c) {
    if (*c < 0x20 || *c == 0x7F) {
      fprintf(stderr, "\\x%02X", *c);
    } else {
      fputc(*c, stderr);
    }
  }
  fprintf(stderr, ": %s\n", message);
}

/* Takes the items of the last chunk, prints them and clears the queue.
 * 0 when done, else the errno of the write to standard output that failed. */
static int DrainItems(const struct Api* api, DecoderObject* decoder) {
  const int count = api->GetReportItemCountProc(decoder);
  int i;
  int failed = 0;
  for (i = 0; i < count; ++i) {
    const ReportTime* time = api->GetReportItemMsgTime(decoder, i);
    const ReportBlock* text = api->GetReportItemBinary(decoder, i);
    const ReportBlock* raw = api->GetReportItemBinaryToRCUFilter(decoder, i);
    if (printf("%08" PRIX32 " %d %" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32 " %d %d\n",
               (uint32_t)api->GetReportItemMsgCode(decoder, i),
               api->GetReportItemMsgDirection(decoder, i), time->seconds, time->micros,
               text->length, raw->length, api->GetReportItemCurDecodeParamCount(decoder, i),
               api->GetReportItemInheritDecodeParamCount(decoder, i)) < 0) {
      failed = errno != 0 ? errno : EIO;
      break;
    }
  }
  api->ClearReportItemsProc(decoder);
  return failed;
}

/* Feeds `length` bytes in calls that hold at most 200 newlines each, so no
 * call can complete more than 200 lines and overflow the 200-item queue. A
 * call may end inside a line: the library keeps the partial line for the
 * next one. False, with a message, when a call or a write fails. */
static int Feed(const struct Api* api, DecoderObject* decoder, const char* bytes, size_t length) {
  size_t start = 0;
  int failed;
  while (start < length) {
    size_t end = start;
    int lines = 0;
    while (end < length && lines < 200) {
      if (bytes[end++] == '\n') ++lines;
    }
    if (!api->DecodeMsgProc(decoder, bytes + start, (int)(end - start))) {
      fprintf(stderr, "wendrake_host: DecodeMsgProc failed\n");
      return 0;
    }
    /* Item pointers stay valid until the next DecodeMsgProc: read now. */
    failed = DrainItems(api, decoder);
    if (failed != 0) {
      Complain("standard output", strerror(failed));
      return 0;
    }
    start = end;
  }
  return 1;
}

/* Decodes the whole file. The end of the file ends its last line: a last
 * line without a newline is fed with one, and said so. */
static int DecodeFile(const struct Api* api, DecoderObject* decoder, FILE* file, const char* path) {
  static char block[64 * 1024];
  size_t got;
  char last = '\n';
  errno = 0;
  while ((got = fread(block, 1, sizeof block, file)) > 0) {
    if (!Feed(api, decoder, block, got)) return 0;
    last = block[got - 1];
  }
  if (ferror(file)) {
    Complain(path, strerror(errno));
    return 0;
  }
  if (last != '\n') {
    Complain(path, "the last line has no newline; decoded it as if it had one");
    if (!Feed(api, decoder, "\n", 1)) return 0;
  }
  if (fflush(stdout) != 0) {
    Complain("standard output", strerror(errno));
    return 0;
  }
  return 1;
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
    Complain(argv[1], strerror(errno));
    return 2;
  }
  decoder = api.CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  if (decoder == NULL) return 1;
  ok = DecodeFile(&api, decoder, file, argv[1]);
  api.FreeDecoderObjectProc(&decoder);
  fclose(file);
  dlclose(library);
  return ok ? 0 : 1;
}

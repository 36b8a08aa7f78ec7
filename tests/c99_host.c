/* A minimal host in C99: decodes a two-line log and reads the item through
 * every export. Exits with 0 when everything reads as expected. */
#include <stdio.h>
#include <string.h>

#include "wendrake/wendrake.h"

static int failures = 0;

static void Expect(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "c99_host: %s\n", what);
    ++failures;
  }
}

int main(void) {
  static const char kLog[] = "RegReport\tDM\tRxagc\nDM\t-85\n";
  const uint8_t emptyTable[4] = {0, 0, 0, 0};
  DecoderObject* decoder = CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  const ReportItem* item;
  const ReportTime* time;
  const ReportBlock* text;
  const ReportBlock* raw;
  const ReportBlock* simple;
  const ParamSlot* slot;
  int n;

  Expect(decoder != NULL, "create");
  if (decoder == NULL) return 1;
  Expect(SetDecoderConfiguration(decoder, 2, emptyTable, (int)sizeof emptyTable), "configure");
  /* Some hosts pass a fourth argument; it is ignored. */
  Expect(DecodeMsgProc(decoder, kLog, (int)strlen(kLog), 0), "decode");

  n = GetReportItemCountProc(decoder);
  Expect(n == 1, "item count");
  if (n == 1) {
    item = GetReportItemProc(decoder, 0);
    time = GetReportItemMsgTime(decoder, 0);
    text = GetReportItemBinary(decoder, 0);
    raw = GetReportItemBinaryToRCUFilter(decoder, 0);
    simple = GetReportItemBinaryToRCUSimple(decoder, 0);
    Expect((uint32_t)GetReportItemMsgCode(decoder, 0) == 0xB1012001u, "message code");
    Expect(item != NULL && item->msgCode == 0xB1012001u, "item code");
    Expect(GetReportItemMsgDirection(decoder, 0) == 2, "direction");
    Expect(time != NULL && (const void*)time == (const void*)&item->timeSeconds, "time");
    Expect(text != NULL && text->length > 0 && strstr((const char*)text->bytes, "-85") != NULL,
           "text");
    Expect(raw != NULL && raw->length == 7 && memcmp(raw->bytes, "DM\t-85\n", 7) == 0, "raw");
    Expect(simple != NULL && simple->length == 0, "simple");
    Expect(GetReportItemCurDecodeParamCount(decoder, 0) == 1, "current count");
    Expect(GetReportItemInheritDecodeParamCount(decoder, 0) == 0, "inherited count");
    slot = GetReportItemCurDecodeParamList(decoder, 0, 0);
    /* "Rxagc" is stored times 1000. */
    Expect(slot != NULL && slot->paramId == 0x7F010001u && slot->state == 1 &&
               slot->value == -85000,
           "current parameter");
    Expect(GetReportItemInheritDecodeParamList(decoder, 0, 0) == NULL, "inherited parameter");
    Expect(GetReportItemCurDecodeStructParamCount(decoder, 0) == 0, "struct count");
    Expect(GetReportItemInheritDecodeStructParamCount(decoder, 0) == 0, "inherited struct count");
    Expect(GetReportItemCurDecodeStructParamList(decoder, 0, 0) == NULL, "struct list");
    Expect(GetReportItemInheritDecodeStructParamList(decoder, 0, 0) == NULL,
           "inherited struct list");
  }
  Expect(ClearReportItemsProc(decoder), "clear");
  Expect(FreeDecoderObjectProc(&decoder) && decoder == NULL, "free");
  return failures == 0 ? 0 : 1;
}

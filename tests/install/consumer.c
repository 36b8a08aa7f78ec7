/* Links the installed library and decodes two lines: proves that the
 * header, the library and its SONAME link are in place. */
#include <stdio.h>
#include <string.h>

#include <wendrake/wendrake.h>

int main(void) {
  static const char log[] = "RegReport\tDM\tRxagc\nDM\t-85.5\n";
  DecoderObject* decoder = CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  int count;
  int ok;
  if (decoder == NULL) return 1;
  DecodeMsgProc(decoder, log, (int)strlen(log));
  count = GetReportItemCountProc(decoder);
  ok = count == 1 && (unsigned)GetReportItemMsgCode(decoder, 0) == 0xB1012001u &&
       GetReportItemCurDecodeParamList(decoder, 0, 0)->value == -85500;
  ClearReportItemsProc(decoder);
  FreeDecoderObjectProc(&decoder);
  printf("consumer: wendrake %d.%d.%d, %d item, %s\n", WENDRAKE_VERSION_MAJOR, WENDRAKE_VERSION_MINOR,
         WENDRAKE_VERSION_PATCH, count, ok ? "ok" : "WRONG");
  return ok ? 0 : 1;
}

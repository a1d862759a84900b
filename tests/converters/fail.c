/* A converter that accepts every file, reports three full blocks of RTF and then fails. */
#include "rtf_block_writer.h"

long InitConverter32(void* main_window, const char* application_name) { return 0; }

long IsFormatCorrect32(const char* path, char* class_name) { return 1; }

long ForeignToRtf32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    const char* subset, OstrivelRtfOutput output) {
  RtfBlockWriter writer = rtf_writer_start(rtf_block, output);
  rtf_writer_puts(&writer, "{\\rtf1 ");
  for (int i = 0; i < 3 * OSTRIVEL_RTF_BLOCK_SIZE; ++i) rtf_writer_puts(&writer, "x");
  return 5; /* a read error halfway through the document */
}

long RtfToForeign32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    OstrivelRtfInput input) {
  return -1;
}

/* A converter that reads no file at all. Should it be asked to convert anyway, it produces
 * a document, so that a program converting after a refusal is caught. */
#include "rtf_block_writer.h"

long InitConverter32(void* main_window, const char* application_name) { return 0; }

long IsFormatCorrect32(const char* path, char* class_name) { return 0; }

long ForeignToRtf32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    const char* subset, OstrivelRtfOutput output) {
  RtfBlockWriter writer = rtf_writer_start(rtf_block, output);
  rtf_writer_puts(&writer, "{\\rtf1 converted although refused}");
  rtf_writer_flush(&writer);
  return 0;
}

long RtfToForeign32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    OstrivelRtfInput input) {
  return -1;
}

/* A converter that reports how it was called, steered by the document's first line:
 *
 *   "answer N"  IsFormatCorrect32 answers N (other documents: 1). Any non-zero byte in the
 *               class-name block makes it answer 0, as the block must come zeroed.
 *   "init"      the RTF reads "{\rtf1 app=<name> window=<pointer> args=<ok|bad>}": the
 *               application name and window InitConverter32 got since the last conversion
 *               ("none" if it was not called), and whether ForeignToRtf32 got no storage and
 *               empty class and subset names.
 *   "count N"   fills the block with 'x', reports N bytes, then reports "answer=<A>" where A
 *               is what the program answered to N, and returns 0 whatever the answer was. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rtf_block_writer.h"

static char init_application[64] = "none";
static void* init_window = NULL;

static int read_first_line(const char* path, char* line, size_t size) {
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  const int ok = fgets(line, (int)size, file) != NULL;
  fclose(file);
  if (ok) line[strcspn(line, "\r\n")] = '\0';
  return ok;
}

long InitConverter32(void* main_window, const char* application_name) {
  snprintf(init_application, sizeof init_application, "%s",
           application_name ? application_name : "(null)");
  init_window = main_window;
  return 0;
}

long IsFormatCorrect32(const char* path, char* class_name) {
  for (int i = 0; i < OSTRIVEL_CLASS_NAME_SIZE; ++i) {
    if (class_name[i] != 0) return 0;
  }
  char line[64];
  long answer = 1;
  if (read_first_line(path, line, sizeof line) && strncmp(line, "answer ", 7) == 0) {
    answer = strtol(line + 7, NULL, 10);
  }
  return answer;
}

static long report_how_initialised(RtfBlockWriter* writer, void* storage,
                                   const char* class_name, const char* subset) {
  const int args_ok = storage == NULL && class_name && !*class_name && subset && !*subset;
  char rtf[160];
  snprintf(rtf, sizeof rtf, "{\\rtf1 app=%s window=%p args=%s}", init_application, init_window,
           args_ok ? "ok" : "bad");
  snprintf(init_application, sizeof init_application, "none");
  init_window = NULL;
  rtf_writer_puts(writer, rtf);
  rtf_writer_flush(writer);
  return 0;
}

static long report_count(char* rtf_block, OstrivelRtfOutput output, long count) {
  memset(rtf_block, 'x', OSTRIVEL_RTF_BLOCK_SIZE);
  const long answer = output(count, 10);
  RtfBlockWriter writer = rtf_writer_start(rtf_block, output);
  char text[32];
  snprintf(text, sizeof text, "answer=%ld", answer);
  rtf_writer_puts(&writer, text);
  rtf_writer_flush(&writer);
  return 0;
}

long ForeignToRtf32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    const char* subset, OstrivelRtfOutput output) {
  char line[64];
  if (!read_first_line(path, line, sizeof line)) return -2;
  if (strncmp(line, "count ", 6) == 0) {
    return report_count(rtf_block, output, strtol(line + 6, NULL, 10));
  }
  RtfBlockWriter writer = rtf_writer_start(rtf_block, output);
  return report_how_initialised(&writer, storage, class_name, subset);
}

long RtfToForeign32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    OstrivelRtfInput input) {
  return -1;
}

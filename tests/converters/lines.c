/* A converter for the ".lines" format: a first line "OSTRIVEL-LINES", then plain text lines
 * in code page 936. Each following line becomes one RTF paragraph; bytes above 0x7F are
 * written as \'hh escapes of an \ansicpg936 document, and "\", "{", "}" are escaped.
 *
 *   OSTRIVEL-LINES        ->  {\rtf1\ansi\ansicpg936\deff0
 *   a{b}                      a\{b\}\par
 *   <GBK bytes D6 D0>         \'d6\'d0\par
 *                             }
 *
 * Lines end in LF or CR LF; a last line without a line end is a paragraph too. */
#include <stdio.h>
#include <string.h>

#include "rtf_block_writer.h"

static const char kMagic[] = "OSTRIVEL-LINES";

/* Reads the first line (without its line end) into `line`; 0 when the file cannot be read. */
static int read_first_line(FILE* file, char* line, size_t size) {
  if (!fgets(line, (int)size, file)) return 0;
  line[strcspn(line, "\r\n")] = '\0';
  return 1;
}

static int starts_with_magic(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  char line[64];
  const int ok = read_first_line(file, line, sizeof line) && strcmp(line, kMagic) == 0;
  fclose(file);
  return ok;
}

long InitConverter32(void* main_window, const char* application_name) { return 0; }

long IsFormatCorrect32(const char* path, char* class_name) {
  if (!starts_with_magic(path)) return 0;
  strcpy(class_name, "Lines");
  return 1;
}

static void put_text_byte(RtfBlockWriter* writer, unsigned char byte) {
  char escaped[8];
  if (byte == '\\' || byte == '{' || byte == '}') {
    snprintf(escaped, sizeof escaped, "\\%c", byte);
  } else if (byte > 0x7F) {
    snprintf(escaped, sizeof escaped, "\\'%02x", byte);
  } else {
    escaped[0] = (char)byte;
    escaped[1] = '\0';
  }
  rtf_writer_puts(writer, escaped);
}

long ForeignToRtf32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    const char* subset, OstrivelRtfOutput output) {
  FILE* file = fopen(path, "rb");
  if (!file) return -2;
  char magic[64];
  if (!read_first_line(file, magic, sizeof magic) || strcmp(magic, kMagic) != 0) {
    fclose(file);
    return -3;
  }
  RtfBlockWriter writer = rtf_writer_start(rtf_block, output);
  rtf_writer_puts(&writer, "{\\rtf1\\ansi\\ansicpg936\\deff0\n");
  int in_line = 0;
  for (int c; (c = fgetc(file)) != EOF && !writer.stopped;) {
    if (c == '\n') {
      rtf_writer_puts(&writer, "\\par\n");
      in_line = 0;
    } else if (c != '\r') {
      put_text_byte(&writer, (unsigned char)c);
      in_line = 1;
    }
  }
  if (in_line) rtf_writer_puts(&writer, "\\par\n");
  rtf_writer_puts(&writer, "}");
  rtf_writer_flush(&writer);
  fclose(file);
  return writer.stopped ? -4 : 0;
}

long RtfToForeign32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    OstrivelRtfInput input) {
  return -1;
}

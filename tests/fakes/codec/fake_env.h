/* Helpers of the codec fakes: behaviour from environment variables, a call log file. */
#ifndef ZIMBAR_TESTS_FAKES_CODEC_FAKE_ENV_H
#define ZIMBAR_TESTS_FAKES_CODEC_FAKE_ENV_H

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

/* The integer in variable name, or fallback when it is unset. */
static inline long FakeEnvInt(const char* name, long fallback) {
  const char* text = getenv(name);
  return (text != NULL && *text != '\0') ? strtol(text, NULL, 10) : fallback;
}

/* Appends one formatted line to the file named by variable logVariable, when set. */
static inline void FakeLog(const char* logVariable, const char* format, ...) {
  const char* path = getenv(logVariable);
  if (path == NULL || *path == '\0') return;
  FILE* file = fopen(path, "a");
  if (file == NULL) return;
  va_list args;
  va_start(args, format);
  vfprintf(file, format, args);
  va_end(args);
  fputc('\n', file);
  fclose(file);
}

/* A real access violation, as a faulty library would raise it. */
static inline void FakeCrash(void) {
  volatile int* volatile nowhere = NULL;
  *nowhere = 1;
}

#endif

/* The library that the native-call tests load with open_dll: functions of 0
   to 8 integer, pointer and string arguments and each kind of result. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

int64_t answer(void) { return 42; }

/* Each argument weighted by its place, so that order and count both show. */
int64_t weigh1(int64_t a) { return a; }
int64_t weigh2(int64_t a, int64_t b) { return a + 10 * b; }
int64_t weigh3(int64_t a, int64_t b, int64_t c) { return weigh2(a, b) + 100 * c; }
int64_t weigh4(int64_t a, int64_t b, int64_t c, int64_t d) { return weigh3(a, b, c) + 1000 * d; }
int64_t weigh5(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e) { return weigh4(a, b, c, d) + 10000 * e; }
int64_t weigh6(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e, int64_t f) {
  return weigh5(a, b, c, d, e) + 100000 * f;
}
int64_t weigh7(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e, int64_t f, int64_t g) {
  return weigh6(a, b, c, d, e, f) + 1000000 * g;
}
int64_t weigh8(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e, int64_t f, int64_t g, int64_t h) {
  return weigh7(a, b, c, d, e, f, g) + 10000000 * h;
}

int64_t negate(int64_t a) { return -a; }
int64_t length(const char* text) { return text ? (int64_t)strlen(text) : -1; }
const void* same(const void* pointer) { return pointer; }
int32_t is_set(int32_t value) { return value != 0; }

/* A string and a number through a caller's buffer, and a text result. */
const char* greet(const char* name, int64_t times) {
  static char text[64];
  snprintf(text, sizeof text, "hello %s x%lld", name ? name : "(null)", (long long)times);
  return text;
}
const char* nothing(void) { return NULL; }

/* Eight strings and pointers mixed: the total length of the strings. */
int64_t lengths(const char* a, const char* b, const char* c, const char* d, const char* e, const char* f,
                const char* g, const char* h) {
  const char* all[8] = {a, b, c, d, e, f, g, h};
  int64_t total = 0;
  for (int i = 0; i < 8; ++i) total += all[i] ? (int64_t)strlen(all[i]) : 100;
  return total;
}

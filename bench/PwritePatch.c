/* pwrite-patch: the baseline for applying a byte patch.
 *
 *   pwrite-patch PATCH_FILE TARGET
 *
 * Reads the whole byte patch file (13 header bytes, a 16-bit little-endian record count,
 * then records of a 32-bit offset, an 8-bit length and that many bytes) and writes each
 * record into TARGET in place with one pwrite. No checks beyond what keeps it from reading
 * past the file: the cheapest correct way to put the same bytes in place. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: pwrite-patch PATCH_FILE TARGET\n");
    return 2;
  }
  int patch = open(argv[1], O_RDONLY);
  struct stat info;
  if (patch < 0 || fstat(patch, &info) != 0) {
    perror(argv[1]);
    return 1;
  }
  size_t size = (size_t)info.st_size;
  unsigned char* bytes = malloc(size ? size : 1);
  size_t have = 0;
  while (bytes != NULL && have < size) {
    ssize_t got = read(patch, bytes + have, size - have);
    if (got <= 0) break;
    have += (size_t)got;
  }
  close(patch);
  if (bytes == NULL || have != size || size < 15) {
    fprintf(stderr, "%s: cannot be read\n", argv[1]);
    return 1;
  }
  int target = open(argv[2], O_WRONLY);
  if (target < 0) {
    perror(argv[2]);
    return 1;
  }
  unsigned count = (unsigned)bytes[13] | (unsigned)bytes[14] << 8;
  size_t at = 15;
  for (unsigned record = 0; record < count; ++record) {
    if (at + 5 > size) return 1;
    unsigned long offset = (unsigned long)bytes[at] | (unsigned long)bytes[at + 1] << 8 |
                           (unsigned long)bytes[at + 2] << 16 | (unsigned long)bytes[at + 3] << 24;
    size_t length = bytes[at + 4];
    at += 5;
    if (at + length > size) return 1;
    if (length > 0 && pwrite(target, bytes + at, length, (off_t)offset) != (ssize_t)length) {
      perror(argv[2]);
      return 1;
    }
    at += length;
  }
  free(bytes);
  return close(target) == 0 ? 0 : 1;
}

/* raw_3des_cbc FILE: the speed limit of libgcrypt's 3DES-CBC on FILE's bytes. The file is
 * read in 1 MiB pieces and only the cipher calls are timed, once encrypting in one CBC chain
 * and once decrypting, so file access and padding cost nothing here. The clock is the
 * process's CPU time, as for the tools it is compared with, so that other work on the machine
 * does not count. Prints "encrypt MB/s" and "decrypt MB/s" lines (MB = 10^6 bytes). */
#include <gcrypt.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { kPiece = 1 << 20 };

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

/* Seconds spent in the cipher for the whole file; negative on failure. */
static double TimePass(const char* path, int encrypt, unsigned char* buf) {
  static const unsigned char key[24] = "benchmark key, 24 bytes";
  static const unsigned char iv[8] = {0};
  gcry_cipher_hd_t h;
  FILE* f = fopen(path, "rb");
  if (!f || gcry_cipher_open(&h, GCRY_CIPHER_3DES, GCRY_CIPHER_MODE_CBC, 0)) return -1;
  gcry_cipher_setkey(h, key, sizeof key);
  gcry_cipher_setiv(h, iv, sizeof iv);
  double spent = 0;
  size_t n;
  while ((n = fread(buf, 1, kPiece, f)) > 0) {
    n -= n % 8; /* the padding of the last block is not the cipher's cost */
    double start = Now();
    gcry_error_t err = encrypt ? gcry_cipher_encrypt(h, buf, n, NULL, 0) : gcry_cipher_decrypt(h, buf, n, NULL, 0);
    spent += Now() - start;
    if (err) spent = -1e9;
  }
  gcry_cipher_close(h);
  fclose(f);
  return spent;
}

int main(int argc, char** argv) {
  if (argc != 2 || !gcry_check_version(GCRYPT_VERSION)) {
    fprintf(stderr, "usage: raw_3des_cbc FILE\n");
    return 2;
  }
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  unsigned char* buf = malloc(kPiece);
  FILE* f = fopen(argv[1], "rb");
  if (!buf || !f || fseeko(f, 0, SEEK_END) != 0) return 1;
  double mb = ftello(f) / 1e6;
  fclose(f);
  for (int encrypt = 1; encrypt >= 0; --encrypt) {
    double seconds = TimePass(argv[1], encrypt, buf);
    if (seconds <= 0) return 1;
    printf("%s %.2f\n", encrypt ? "encrypt" : "decrypt", mb / seconds);
  }
  free(buf);
  return 0;
}

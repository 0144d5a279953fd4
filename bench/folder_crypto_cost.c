/* folder_crypto_cost FILES BYTES RECIPIENT.pem... -- DECRYPTOR.pem
 * The cryptography alone of a folder run over FILES files of BYTES bytes each: per file a new
 * 3DES-CBC key (libgcrypt, as the engine) over the padded content, and the RSA PKCS #1 v1.5
 * operations (OpenSSL, as the engine) on a 24-byte session key: one public-key operation per
 * recipient when encrypting, one private-key operation with the decryptor's key when
 * decrypting. Only these calls are timed, in the process's CPU time. Prints "encrypt SECONDS"
 * and "decrypt SECONDS". */
#include <gcrypt.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kMaxRecipients = 8, kBlock = 8 };

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

static EVP_PKEY* ReadKey(const char* path, int privateKey) {
  FILE* f = fopen(path, "r");
  if (!f) return NULL;
  EVP_PKEY* key = NULL;
  if (privateKey) {
    key = PEM_read_PrivateKey(f, NULL, NULL, NULL);
  } else {
    X509* cert = PEM_read_X509(f, NULL, NULL, NULL);
    if (cert) key = X509_get_pubkey(cert);
    X509_free(cert);
  }
  fclose(f);
  return key;
}

/* One RSA operation on the session key; 0 on failure. */
static int Rsa(EVP_PKEY* key, int encrypt, const unsigned char* in, size_t inLength) {
  unsigned char out[1024];
  size_t outLength = sizeof out;
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, NULL);
  int ok = ctx && (encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx)) > 0 &&
           EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) > 0 &&
           (encrypt ? EVP_PKEY_encrypt(ctx, out, &outLength, in, inLength)
                    : EVP_PKEY_decrypt(ctx, out, &outLength, in, inLength)) > 0;
  EVP_PKEY_CTX_free(ctx);
  return ok;
}

static int Cipher(int encrypt, const unsigned char* sessionKey, unsigned char* data, size_t length) {
  static const unsigned char iv[kBlock] = {0};
  gcry_cipher_hd_t h;
  if (gcry_cipher_open(&h, GCRY_CIPHER_3DES, GCRY_CIPHER_MODE_CBC, 0)) return 0;
  gcry_error_t err = gcry_cipher_setkey(h, sessionKey, 24);
  if (!err) err = gcry_cipher_setiv(h, iv, sizeof iv);
  if (!err) err = encrypt ? gcry_cipher_encrypt(h, data, length, NULL, 0) : gcry_cipher_decrypt(h, data, length, NULL, 0);
  gcry_cipher_close(h);
  return !err;
}

int main(int argc, char** argv) {
  if (argc < 6 || strcmp(argv[argc - 2], "--") != 0 || !gcry_check_version(GCRYPT_VERSION)) {
    fprintf(stderr, "usage: folder_crypto_cost FILES BYTES RECIPIENT.pem... -- DECRYPTOR.pem\n");
    return 2;
  }
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  const long files = atol(argv[1]);
  const size_t padded = (size_t)atol(argv[2]) / kBlock * kBlock + kBlock;
  EVP_PKEY* recipients[kMaxRecipients];
  int count = 0;
  for (int i = 3; i < argc - 2 && count < kMaxRecipients; ++i)
    if (!(recipients[count++] = ReadKey(argv[i], 0))) return 1;
  EVP_PKEY* decryptor = ReadKey(argv[argc - 1], 1);
  unsigned char* data = calloc(padded, 1);
  unsigned char sessionKey[24] = "folder benchmark key 24";
  unsigned char wrapped[512];
  size_t wrappedLength = sizeof wrapped;
  EVP_PKEY_CTX* ctx = decryptor ? EVP_PKEY_CTX_new(decryptor, NULL) : NULL;
  if (!data || !ctx || EVP_PKEY_encrypt_init(ctx) <= 0 || EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_encrypt(ctx, wrapped, &wrappedLength, sessionKey, sizeof sessionKey) <= 0)
    return 1;
  EVP_PKEY_CTX_free(ctx);

  double spent[2] = {0, 0};
  for (int encrypt = 1; encrypt >= 0; --encrypt) {
    const double start = Now();
    for (long f = 0; f < files; ++f) {
      if (!Cipher(encrypt, sessionKey, data, padded)) return 1;
      if (encrypt) {
        for (int r = 0; r < count; ++r)
          if (!Rsa(recipients[r], 1, sessionKey, sizeof sessionKey)) return 1;
      } else if (!Rsa(decryptor, 0, wrapped, wrappedLength)) {
        return 1;
      }
    }
    spent[encrypt] = Now() - start;
  }
  printf("encrypt %.4f\ndecrypt %.4f\n", spent[1], spent[0]);
  return 0;
}

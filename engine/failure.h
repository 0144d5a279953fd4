// Result codes of the engine and the failure texts that the folder runs show to the user.
#pragma once

namespace qz {

enum FailureCode : int {
  kSuccess = 0,
  // Encryption of one file.
  kOpenSourceFailed = 2001,
  kCreateTargetFailed = 2002,
  kAcquireProviderFailed = 2003,
  kCreateHashFailed = 2004,
  kHashDataFailed = 2005,
  kDeriveKeyFailed = 2006,
  kReadSourceFailed = 2007,
  kEncryptChunkFailed = 2008,
  kRecipientNotFound = 2009,  // also: asking the key block length failed
  kExportKeyFailed = 2010,
  kHeaderWriteFailed = 2011,
  kKeyBlockWriteFailed = 2012,  // the length or the block itself
  kCiphertextWriteFailed = 2013,
  // Decryption of one file.
  kOpenEncryptedFailed = 2017,
  kReadHeaderFailed = 2018,
  kCertificateMissing = 2019,  // also: an exception while the header is read
  kAcquirePrivateKeyFailed = 2020,
  kGetUserKeyFailed = 2021,
  kUnwrapKeyFailed = 2022,
  kCreatePlainFailed = 2023,
  kReadCiphertextFailed = 2024,
  kDecryptChunkFailed = 2025,
  kWritePlainFailed = 2026,
  kDecryptException = 2027,
  // The wanted serial is not among the file's recipients: not this reader's file.
  kNotARecipient = 2028,
};

// Failure texts, byte for byte as the user sees them (code page 936 on Windows).
namespace text {
inline constexpr char kOpenSource[] = "打开加密文件时出错,请检查你输入加密的路径参数是否正确!";
inline constexpr char kCreateTarget[] = "找开加密后保存的文件出错,请检查你输入解密后保存的路径参数是否正确!";
inline constexpr char kAcquireProvider[] = "获取容器密钥句柄出错";
inline constexpr char kCreateHash[] = "初始化哈希对象出错!";
inline constexpr char kHashData[] = "产生散列出错!";
inline constexpr char kDeriveKey[] = "获取对称密钥句柄出错!";
inline constexpr char kReadSource[] = "循环读到加密文件出错!";
inline constexpr char kEncryptChunk[] = "加密文件出错";
inline constexpr char kRecipientNotFound[] = "在IE浏览器中找不到和证书序列号相对应的数字证书!";
inline constexpr char kKeyBlockLength[] = "导出会话密钥时获取长度失败!";
inline constexpr char kExportKey[] = "导出会话密钥失败!";
inline constexpr char kHeaderWrite[] = "写密明文后的长度出错!";
inline constexpr char kKeyBlockLengthWrite[] = "写入会话密钥加密后的长度出错!";
inline constexpr char kKeyBlockWrite[] = "将加密后的会话密钥写入文件出错!";
inline constexpr char kCiphertextWrite[] = "循环写到加密文件出错!";

inline constexpr char kOpenEncrypted[] = "打开解密文件时出错!";
inline constexpr char kReadHeader[] = "获取证书序列号出错!";
inline constexpr char kNotARecipient[] = "没有找到和你所选择相对应的解密证书!";
inline constexpr char kCertificateMissing[] = "解密出错,你所选择的解密证书可能已被删除!";
inline constexpr char kAcquirePrivateKey[] = "解密时获取证书私钥句柄出错!";
inline constexpr char kGetUserKey[] = "获取密钥交换句柄出错!";
inline constexpr char kUnwrapKey[] = "解密会话密钥时出错!";
inline constexpr char kCreatePlain[] = "打开加密后保存的文件出错!";
inline constexpr char kReadCiphertext[] = "循环读取要解密的文件出错!";
inline constexpr char kDecryptChunk[] = "解密密文出错!";
inline constexpr char kWritePlain[] = "写入解密后的明文出错!";
inline constexpr char kDecryptException[] = "解密产生异常,解密失败!";
}  // namespace text

}  // namespace qz

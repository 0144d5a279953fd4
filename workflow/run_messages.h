// The messages of the folder runs and their captions, byte for byte as the user sees them
// (code page 936 on Windows).
#pragma once

namespace qz {

namespace caption {
inline constexpr char kRefused[] = "出错提示";          // refused input
inline constexpr char kEngineFailure[] = "出错信息";    // the encryptor failed
inline constexpr char kDecryptFailure[] = "错误提示";   // the decryptor failed
inline constexpr char kInformation[] = "信息提示";      // results
}  // namespace caption

namespace message {
inline constexpr char kNoSourceFolder[] = "不能加密文件夹夹,您没有选择待加密的文件夹!";
inline constexpr char kNoEncryptDestination[] = "不能加密文件夹,您没有选择加密后文件夹保存路径!";
inline constexpr char kCreateFolderFailed[] = "创建加密后保存的文件夹失败!";
inline constexpr char kNoEncryptCertificate[] = "不能加密文件夹,您没有选择用于加密的证书!";
inline constexpr char kEncrypted[] = "加密成功!";
// A run stopped on request; %s is the number of files done.
inline constexpr char kEncryptCancelled[] = "加密已取消,已加密%s个文件!";

// A folder without ".qz" in its path is refused before anything is made.
inline constexpr char kNotAnEncryptedFolder[] = "对不起,不支持此文件夹解密!";
inline constexpr char kNoEncryptedFiles[] = "不能解密,此文件夹没有可用于解密的文件!";
inline constexpr char kScanException[] = "获取用于解密的数字证书是产生异常!";
inline constexpr char kNoEncryptedFolder[] = "不能解密文件夹,您没有选择待解密的文件夹!";
inline constexpr char kNoDecryptDestination[] = "不能解密文件夹,您没有选择解密后明文保存路径!";
inline constexpr char kNoDecryptCertificate[] = "没有证书可用来解密!";
inline constexpr char kDecrypted[] = "解密成功!";
inline constexpr char kDecryptCancelled[] = "解密已取消,已解密%s个文件!";
}  // namespace message

}  // namespace qz

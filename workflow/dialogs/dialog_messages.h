// The dialogs' own messages, byte for byte as the user sees them (code page 936 on Windows). The
// captions and the runs' messages are in run_messages.h.
#pragma once

#include "run_messages.h"

namespace qz::dialogs {

namespace message {
// Encryption dialog.
inline constexpr char kChooseSourceTitle[] = "请你选择用于加密的文件夹!";
inline constexpr char kSaveTitle[] = "更改密文保存于:";
inline constexpr char kEncryptChoiceCancelled[] = "您已经取消了加密文件夹的操作!";
inline constexpr char kNoDefaultCertificate[] = "您没有用于加密的证书!";
inline constexpr char kEmptyDefaultSerial[] = "证书序列号为空,请查看配置文件夹是否则出错!";
inline constexpr char kCertificateGone[] = "没有找到设置的证书,可能证书已经被你删除!";
// A run that broke off without saying why, or could not be started.
inline constexpr char kEncryptBrokeOff[] = "加密文件夹时发生意外错误,加密已中止!";
// The viewer's file could be written neither in the Windows directory nor in the temporary folder.
inline constexpr char kViewerFileFailed[] = "无法创建用于查看证书的临时文件!";

// Decryption dialog.
inline constexpr char kChooseEncryptedTitle[] = "请你选择用于解密的文件夹!";
inline constexpr char kDecryptChoiceCancelled[] = "您已经取消了解密选择的操作!";
inline constexpr char kChooseEncryptedFirst[] = "请你先选择待解密的文件夹!";
inline constexpr char kEncryptedNameChanged[] = "您修改了Orvel加密文件夹夹的名字格式!";
inline constexpr char kDecryptSaveCancelled[] = "您已经取消了解密文件夹后选择保存路径的操作!";
inline constexpr char kNoCertificateToView[] = "没有可用于解密的证书，不能查看!";
inline constexpr char kDecryptBrokeOff[] = "解密文件夹时发生意外错误,解密已中止!";

// Default certificate dialog.
inline constexpr char kChooseACertificate[] = "请你选择一个证书!";
inline constexpr char kDefaultChangeCancelled[] = "您已经取消更改默认数字证书的操作!";
}  // namespace message

}  // namespace qz::dialogs

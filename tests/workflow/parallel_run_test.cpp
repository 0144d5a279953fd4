// Folder runs on several workers: whatever their number, the outputs on disk, the message, the
// progress and the run's end are those of one worker going through the files in listing order.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>

#include "decryption_run.h"
#include "encryption_run.h"
#include "failure.h"
#include "file_cipher.h"
#include "file_io.h"
#include "folder_listing.h"
#include "folder_run.h"
#include "naming.h"
#include "run_messages.h"
#include "settings.h"
#include "workflow_test_support.h"

namespace qz {
namespace {

using test::ContentOf;
using test::FileNamesIn;
using test::ShownMessage;

constexpr unsigned kWorkerCounts[] = {1, 2, 4};
constexpr std::size_t kFileCount = 6;

// Different for every file, so that an output holding another file's bytes shows.
std::string ContentFor(std::size_t index, std::size_t size) {
  std::string content = "file " + std::to_string(index) + " ";
  for (std::size_t i = 0; content.size() < size; ++i) content += char('a' + (i * 7 + index) % 26);
  content.resize(size);
  return content;
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Makes the folder with files 0.txt, 1.txt... and gives their paths in listing order.
std::vector<std::string> MakeSources(const std::string& folder, const std::vector<std::size_t>& sizes) {
  EXPECT_TRUE(CreateFolder(folder));
  for (std::size_t i = 0; i < sizes.size(); ++i)
    WriteText(JoinPath(folder, std::to_string(i) + ".txt"), ContentFor(i, sizes[i]));
  return ListFiles(folder);
}

std::string Decrypted(const std::string& encryptedPath, const std::string& scratchPath) {
  CFileCipher cipher;
  if (cipher.DecryptOneFile(encryptedPath, scratchPath, test::kAlice1024) != 0) return "<fails>";
  const std::string plain = ContentOf(scratchPath);
  std::remove(scratchPath.c_str());
  return plain;
}

// ---- The scheduling itself, with a scripted task whose interleavings the test decides. ----

enum class Failure { None, Writing, WritingOnceTheNextIsDone, Committing };

// Copies each file into its output in chunks, as the engine writes, and fails the chosen one:
// halfway through with the engine's text for a missing source, the same once the next file is
// written (so that a later file is done before an earlier one fails), or at its commit (a folder
// takes the output's name while the output waits).
class ScriptedCopy {
 public:
  ScriptedCopy(const std::vector<std::string>& files, std::string outFolder, std::size_t failing, Failure failure)
      : files_(files), outFolder_(std::move(outFolder)), failing_(failing), failure_(failure) {}

  FileTask Task() {
    return {[this](const std::string& name) { return JoinPath(outFolder_, name); },
            [this](CFileCipher& cipher, const std::string& path, PendingFile& output, const ChunkHook& onChunk) {
              return Write(cipher, path, output, onChunk);
            },
            [](CFileCipher& cipher, PendingFile& output) { return cipher.CommitEncrypted(output); }};
  }
  bool waitedInVain() const { return waitedInVain_; }

 private:
  int Write(CFileCipher& cipher, const std::string& path, PendingFile& output, const ChunkHook& onChunk) {
    const std::size_t index = IndexOf(path);
    const std::string content = ContentOf(path);
    const bool failsHere = index == failing_ && (failure_ == Failure::Writing || failure_ == Failure::WritingOnceTheNextIsDone);
    if (!output.Open()) return kCreateTargetFailed;
    constexpr std::size_t kChunk = 100;
    for (std::size_t done = 0; done < content.size();) {
      const std::size_t n = std::min(kChunk, content.size() - done);
      std::fwrite(content.data() + done, 1, n, output.get());
      done += n;
      if (failsHere && done >= content.size() / 2) return FailWriting(cipher, index);
      if (!onChunk(done)) return kStopped;
    }
    if (!output.Finish()) return kCiphertextWriteFailed;
    if (index == failing_ && failure_ == Failure::Committing) {
      const std::string target = JoinPath(outFolder_, FileNameOf(path));
      std::remove(target.c_str());
      CreateFolder(target);
    }
    MarkWritten(index);
    return kSuccess;
  }

  int FailWriting(CFileCipher& cipher, std::size_t index) {
    if (failure_ == Failure::WritingOnceTheNextIsDone && !WaitUntilWritten(index + 1)) waitedInVain_ = true;
    PendingFile unused(JoinPath(outFolder_, "unused"));
    return cipher.EncryptOneFile(JoinPath(outFolder_, "no such file"), unused, "", ChunkHook());
  }

  std::size_t IndexOf(const std::string& path) const {
    return std::size_t(std::find(files_.begin(), files_.end(), path) - files_.begin());
  }
  void MarkWritten(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    written_.insert(index);
    changed_.notify_all();
  }
  bool WaitUntilWritten(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return written_.count(index) > 0; });
  }

  const std::vector<std::string>& files_;
  const std::string outFolder_;
  const std::size_t failing_;
  const Failure failure_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::size_t> written_;
  bool waitedInVain_ = false;
};

TEST(RunFilesTest, OutputsAreThoseOfOneWorkerWhereverAFileFails) {
  constexpr std::size_t kNone = kFileCount, kLast = kFileCount - 1;
  const struct {
    const char* what;
    std::size_t failing;
    Failure failure;
    bool needsSecondWorker;
  } rows[] = {
      {"no failure", kNone, Failure::None, false},
      {"first fails", 0, Failure::Writing, false},
      {"middle fails", 2, Failure::Writing, false},
      {"last fails", kLast, Failure::Writing, false},
      {"fails once a later file is done", 1, Failure::WritingOnceTheNextIsDone, true},
      {"first commit fails", 0, Failure::Committing, false},
      {"last commit fails", kLast, Failure::Committing, false},
  };
  for (unsigned workers : kWorkerCounts) {
    for (const auto& row : rows) {
      if (row.needsSecondWorker && workers < 2) continue;
      const std::string what = std::string(row.what) + ", workers " + std::to_string(workers);
      test::ScratchDir dir;
      const std::vector<std::string> files = MakeSources(dir.Path("src"), std::vector<std::size_t>(kFileCount, 1000));
      const std::string out = dir.Path("out");
      ASSERT_TRUE(CreateFolder(out));
      std::vector<std::string> names;
      for (const std::string& file : files) {
        names.push_back(FileNameOf(file));
        WriteText(JoinPath(out, names.back()), "old");
      }
      ScriptedCopy script(files, out, row.failing, row.failure);
      RunControl control;

      const FilesResult result = RunFiles(files, workers, control, script.Task());

      EXPECT_FALSE(script.waitedInVain()) << what;
      const bool failed = row.failure != Failure::None;
      EXPECT_EQ(result.outcome, failed ? FilesOutcome::Failed : FilesOutcome::AllDone) << what;
      EXPECT_EQ(result.filesDone, failed ? row.failing : kFileCount) << what;
      const char* text = row.failure == Failure::Committing ? text::kCiphertextWrite : text::kOpenSource;
      EXPECT_EQ(result.failureText, failed ? text : "") << what;
      // Before the failure every output whole, from it on the older files untouched; no
      // temporary left beside them.
      std::vector<std::string> expectedNames;
      for (std::size_t i = 0; i < kFileCount; ++i) {
        const std::string output = JoinPath(out, names[i]);
        if (i == row.failing && row.failure == Failure::Committing) continue;  // a folder now
        expectedNames.push_back(names[i]);
        EXPECT_EQ(ContentOf(output), i < result.filesDone ? ContentOf(files[i]) : "old") << what << ", " << names[i];
      }
      EXPECT_EQ(FileNamesIn(out), test::Sorted(expectedNames)) << what;
    }
  }
}

TEST(RunFilesTest, WorkersForAControl) {
  const struct {
    unsigned jobs;
    std::size_t files;
    bool outputsBesideInputs;
    unsigned workers;
  } rows[] = {
      {4, 10, false, 4}, {4, 2, false, 2}, {1, 10, false, 1}, {4, 10, true, 1}, {4, 0, false, 1},
  };
  for (const auto& row : rows) {
    RunControl control;
    control.jobs = row.jobs;
    EXPECT_EQ(WorkersFor(control, row.files, row.outputsBesideInputs), row.workers)
        << row.jobs << " jobs, " << row.files << " files, beside " << row.outputsBesideInputs;
  }
  RunControl perCore;
  EXPECT_GE(WorkersFor(perCore, 1000, false), 1u);
}

TEST(RunFilesTest, SameFolderHoweverSpelt) {
  test::ScratchDir dir;
  ASSERT_TRUE(CreateFolder(dir.Path("a")));
  ASSERT_TRUE(CreateFolder(dir.Path("b")));
  EXPECT_TRUE(MaybeSameFolder(dir.Path("a"), JoinPath(dir.Path("a"), ".")));
  EXPECT_TRUE(MaybeSameFolder(dir.Path("a"), JoinPath(JoinPath(dir.Path("b"), ".."), "a")));
  EXPECT_FALSE(MaybeSameFolder(dir.Path("a"), dir.Path("b")));
  // What cannot be examined could be the same.
  EXPECT_TRUE(MaybeSameFolder(dir.Path("a"), dir.Path("missing")));
}

// ---- The two runs with the real engine. ----

class ParallelRunTest : public test::WithTestCertificates {
 protected:
  RunEnd Encrypt(const std::string& src, const std::string& out, RunControl& control) {
    const SettingsFile settings(dir_.Path(kSettingsFileName));
    settings.WriteText(key::kCertSerial, test::kAlice1024);
    return OnEncrypt({src, out, "Alice 1024", {}}, settings, sink_, control);
  }
  RunEnd Decrypt(const std::string& enc, const std::vector<std::string>& files, const std::string& out,
                 RunControl& control) {
    return OnDecrypt({enc, out, files, "Alice 1024(0A1B)"}, sink_, control);
  }
  test::ScratchDir dir_;
  test::RecordingSink sink_;
};

TEST_F(ParallelRunTest, EncryptionStopsAtTheFailingFileWhateverTheWorkers) {
  // The failing file's output name is taken by a folder; every other name holds an older file.
  for (unsigned workers : kWorkerCounts) {
    for (std::size_t failing : {std::size_t(0), kFileCount / 2, kFileCount - 1}) {
      const std::string what = "file " + std::to_string(failing) + " fails, workers " + std::to_string(workers);
      test::ScratchDir dir;
      const std::vector<std::string> files = MakeSources(dir.Path("src"), std::vector<std::size_t>(kFileCount, 3000));
      const std::string out = dir.Path("out.qz");
      ASSERT_TRUE(CreateFolder(out));
      std::vector<std::string> expectedNames;
      for (std::size_t i = 0; i < kFileCount; ++i) {
        const std::string output = EncryptedFilePath(out, FileNameOf(files[i]));
        if (i == failing) {
          ASSERT_TRUE(CreateFolder(output));
          continue;
        }
        WriteText(output, "old");
        expectedNames.push_back(FileNameOf(output));
      }
      sink_.shown.clear();
      RunControl control;
      control.jobs = workers;

      EXPECT_EQ(Encrypt(dir.Path("src"), out, control), RunEnd::Failed) << what;
      EXPECT_EQ(sink_.shown,
                (std::vector<ShownMessage>{{text::kCreateTarget, caption::kEngineFailure, MessageIcon::Error}}))
          << what;
      for (std::size_t i = 0; i < kFileCount; ++i) {
        if (i == failing) continue;
        const std::string output = EncryptedFilePath(out, FileNameOf(files[i]));
        if (i < failing) {
          EXPECT_EQ(Decrypted(output, dir.Path("check")), ContentOf(files[i])) << what << ", file " << i;
        } else {
          EXPECT_EQ(ContentOf(output), "old") << what << ", file " << i;
        }
      }
      EXPECT_EQ(FileNamesIn(out), test::Sorted(expectedNames)) << what;
    }
  }
}

TEST_F(ParallelRunTest, DecryptionStopsAtTheDamagedFileWhateverTheWorkers) {
  // The damaged file is the large one: it fails at its very end, with the later files done.
  for (std::size_t failing : {std::size_t(0), kFileCount / 2, kFileCount - 1}) {
    test::ScratchDir dir;
    std::vector<std::size_t> sizes(kFileCount, 3000);
    sizes[failing] = 2 << 20;
    const std::vector<std::string> plain = MakeSources(dir.Path("src"), sizes);
    const std::string enc = dir.Path("src.qz");
    RunControl one;
    one.jobs = 1;
    ASSERT_EQ(Encrypt(dir.Path("src"), enc, one), RunEnd::Succeeded);
    const std::vector<std::string> files = ListEncryptedFiles(enc);
    ASSERT_EQ(files.size(), kFileCount);
    // Listing orders of the two folders may differ: the plain name decides which is which.
    const auto plainOf = [&](const std::string& encrypted) { return JoinPath(dir.Path("src"), PlainNameOf(FileNameOf(encrypted))); };
    const std::size_t damaged = std::size_t(std::find_if(files.begin(), files.end(), [&](const std::string& f) {
                                              return plainOf(f) == plain[failing];
                                            }) - files.begin());
    // In CBC a byte changed in the last block but one changes the same byte of the last plain
    // block: the padding's last byte, 8 - size % 8, becomes 0, which the last chunk refuses.
    std::vector<std::uint8_t> bytes = test::ReadBytes(files[damaged]);
    bytes[bytes.size() - 9] ^= std::uint8_t(8 - sizes[failing] % 8);
    test::WriteBytes(files[damaged], bytes);

    for (unsigned workers : kWorkerCounts) {
      const std::string what = "file " + std::to_string(damaged) + " damaged, workers " + std::to_string(workers);
      const std::string out = dir.Path("out" + std::to_string(workers));
      ASSERT_TRUE(CreateFolder(out));
      std::vector<std::string> expectedNames;
      for (const std::string& file : files) {
        expectedNames.push_back(PlainNameOf(FileNameOf(file)));
        WriteText(JoinPath(out, expectedNames.back()), "old");
      }
      sink_.shown.clear();
      RunControl control;
      control.jobs = workers;

      EXPECT_EQ(Decrypt(enc, files, out, control), RunEnd::Failed) << what;
      EXPECT_EQ(sink_.shown,
                (std::vector<ShownMessage>{{text::kDecryptChunk, caption::kDecryptFailure, MessageIcon::Information}}))
          << what;
      for (std::size_t i = 0; i < kFileCount; ++i) {
        const std::string output = JoinPath(out, PlainNameOf(FileNameOf(files[i])));
        EXPECT_EQ(ContentOf(output), i < damaged ? ContentOf(plainOf(files[i])) : "old") << what << ", file " << i;
      }
      EXPECT_EQ(FileNamesIn(out), test::Sorted(expectedNames)) << what;
    }
  }
}

TEST_F(ParallelRunTest, CancelBeforeTheRunWritesNothing) {
  const std::vector<std::string> files = MakeSources(dir_.Path("src"), {10, 20, 30});
  for (unsigned workers : kWorkerCounts) {
    const std::string what = "workers " + std::to_string(workers);
    const std::string out = dir_.Path("out" + std::to_string(workers) + ".qz");
    sink_.shown.clear();
    RunControl control;
    control.jobs = workers;
    control.RequestCancel();

    EXPECT_EQ(Encrypt(dir_.Path("src"), out, control), RunEnd::Cancelled) << what;
    EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{"加密已取消,已加密0个文件!", caption::kInformation,
                                                       MessageIcon::Information}}))
        << what;
    EXPECT_TRUE(FileNamesIn(out).empty()) << what;

    sink_.shown.clear();
    EXPECT_EQ(Decrypt(out, files, dir_.Path("plain"), control), RunEnd::Cancelled) << what;
    EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{"解密已取消,已解密0个文件!", caption::kInformation,
                                                       MessageIcon::Information}}))
        << what;
    EXPECT_TRUE(FileNamesIn(dir_.Path("plain")).empty()) << what;
  }
}

TEST_F(ParallelRunTest, CancelInsideALargeFileKeepsTheFilesBeforeIt) {
  // One large file among small ones; the cancel comes with its first progress step.
  std::vector<std::size_t> sizes(kFileCount, 2000);
  sizes[3] = 2 * kProgressStep + 1000;
  const std::vector<std::string> files = MakeSources(dir_.Path("src"), sizes);
  const std::size_t large =
      std::size_t(std::find(files.begin(), files.end(), JoinPath(dir_.Path("src"), "3.txt")) - files.begin());
  for (unsigned workers : kWorkerCounts) {
    const std::string what = "workers " + std::to_string(workers);
    const std::string out = dir_.Path("out" + std::to_string(workers) + ".qz");
    ASSERT_TRUE(CreateFolder(out));
    for (const std::string& file : files) WriteText(EncryptedFilePath(out, FileNameOf(file)), "old");
    sink_.shown.clear();
    RunControl control;
    control.jobs = workers;
    // Its second call is its first step.
    control.progress = [&, calls = 0](const RunProgress& progress) mutable {
      if (progress.fileNumber == large + 1 && ++calls == 2) control.RequestCancel();
    };

    EXPECT_EQ(Encrypt(dir_.Path("src"), out, control), RunEnd::Cancelled) << what;
    const std::string count = std::to_string(large);
    EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{"加密已取消,已加密" + count + "个文件!", caption::kInformation,
                                                       MessageIcon::Information}}))
        << what;
    for (std::size_t i = 0; i < kFileCount; ++i) {
      const std::string output = EncryptedFilePath(out, FileNameOf(files[i]));
      if (i < large) {
        EXPECT_EQ(Decrypted(output, dir_.Path("check")), ContentOf(files[i])) << what << ", file " << i;
      } else {
        EXPECT_EQ(ContentOf(output), "old") << what << ", file " << i;
      }
    }
    EXPECT_EQ(FileNamesIn(out).size(), kFileCount) << what;  // no temporary beside them
  }
}

std::string Told(std::size_t number, std::size_t count, const std::string& name, std::uint64_t done,
                 std::uint64_t total) {
  return std::to_string(number) + "/" + std::to_string(count) + " " + name + " " + std::to_string(done) + "/" +
         std::to_string(total);
}

// What one worker tells: each file's start, then each step inside it.
std::vector<std::string> ProgressOfOneWorker(const std::vector<std::string>& files) {
  std::uint64_t total = 0;
  for (const std::string& file : files) total += test::ReadBytes(file).size();
  std::vector<std::string> told;
  std::uint64_t before = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::uint64_t size = test::ReadBytes(files[i]).size();
    for (std::uint64_t done = 0; done <= size; done += kProgressStep)
      told.push_back(Told(i + 1, files.size(), FileNameOf(files[i]), before + done, total));
    before += size;
  }
  return told;
}

TEST_F(ParallelRunTest, ProgressIsThatOfOneWorker) {
  std::vector<std::size_t> sizes(kFileCount, 5000);
  sizes[1] = 2 * kProgressStep + 5000;
  const std::vector<std::string> plain = MakeSources(dir_.Path("src"), sizes);
  for (unsigned workers : kWorkerCounts) {
    const std::string what = "workers " + std::to_string(workers);
    const std::string enc = dir_.Path("enc" + std::to_string(workers) + ".qz");
    std::vector<std::string> told;
    RunControl control;
    control.jobs = workers;
    control.progress = [&](const RunProgress& p) {
      told.push_back(Told(p.fileNumber, p.fileCount, p.fileName, p.bytesDone, p.bytesTotal));
    };

    ASSERT_EQ(Encrypt(dir_.Path("src"), enc, control), RunEnd::Succeeded) << what;
    EXPECT_EQ(told, ProgressOfOneWorker(plain)) << what;

    const std::vector<std::string> files = ListEncryptedFiles(enc);
    told.clear();
    ASSERT_EQ(Decrypt(enc, files, dir_.Path("plain" + std::to_string(workers)), control), RunEnd::Succeeded) << what;
    EXPECT_EQ(told, ProgressOfOneWorker(files)) << what;
  }
}

}  // namespace
}  // namespace qz

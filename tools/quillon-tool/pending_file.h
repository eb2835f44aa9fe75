// A file that is written under a temporary name in its folder and takes its final name only when
// it is complete, so no file under a final name is ever partial.
//
// The temporary name is ".NAME.XXXXXX.part" (NAME the final name, XXXXXX six random letters or
// digits): hidden, beside the final file, on the same file system, so the rename is atomic. Write
// the file at TemporaryPath() by any means, then Commit(). A PendingFile that is destroyed without
// Commit() removes its temporary file: any failure on the way leaves nothing behind.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::tool {

class PendingFile {
 public:
  // Claims a fresh temporary name beside final_path, made with the permissions a new file gets
  // (the umask applies). Throws std::runtime_error("Cannot make the file FINAL: reason").
  explicit PendingFile(std::filesystem::path final_path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& TemporaryPath() const { return temporary_; }
  const std::filesystem::path& FinalPath() const { return final_; }

  // Flushes the file to the disk and renames it to its final name, replacing a file of that name.
  // Throws std::runtime_error("Cannot write the file FINAL: reason"); the temporary file is then
  // removed.
  void Commit();
  // Removes the temporary file (also what a writer may have left beside it, "NAME~").
  void Discard();

 private:
  std::filesystem::path final_;
  std::string temporary_;
  bool open_ = true;
};

// The final name that a temporary name stands for (".04-chapter-03.wav.Ab12Cd.part" and its
// "...part~" give "04-chapter-03.wav"), or nothing for any other name.
std::optional<std::string> FinalNameOfTemporary(std::string_view file_name);

}  // namespace quillon::tool

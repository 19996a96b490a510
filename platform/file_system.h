// Module1: the file-system steps that protection is made of, behind one seam so that the
// same operations run on Windows, on POSIX, and against temporary folders in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tsl {

// A file step that the system refused. The front ends report it and end the program.
class FileError : public std::runtime_error {
 public:
  // operation: what was being done, e.g. "read"; reason: the system's own words.
  FileError(const std::string& operation, const std::string& path, const std::string& reason)
      : std::runtime_error("Could not " + operation + " \"" + path + "\": " + reason),
        path_(path),
        reason_(reason) {}

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] const std::string& reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The Windows directory as the platform reports it, with or without a final separator.
  [[nodiscard]] virtual std::string WindowsDirectory() const = 0;

  // True for an existing plain file: not a directory, not hidden, not a system file.
  [[nodiscard]] virtual bool FileExists(const std::string& path) const = 0;

  // The steps below throw FileError. Each refuses at once a path that names no regular
  // file (a folder, a FIFO, a device).
  [[nodiscard]] virtual std::string ReadWholeFile(const std::string& path) const = 0;

  // The same for a file of the program's own (the backup), which is never a link: one
  // planted there would hand another file's bytes to the hosts file.
  [[nodiscard]] virtual std::string ReadOwnFile(const std::string& path) const = 0;

  // Gives `path` these bytes, on stable storage before it returns, so that at every
  // instant it holds either its old bytes or the new ones: a flushed copy beside it takes
  // its place, keeping its owner, permissions and security settings (a link stays a link,
  // its target gets the bytes). Where the folder refuses the new file or the rename (a
  // file bind-mounted on its own), the bytes are written into `path` in place instead.
  virtual void WriteFileOver(const std::string& path, std::string_view contents) = 0;

  // Replaces `to` with `contents`, the bytes just read from `from`, on stable storage before
  // it returns, or, failing, leaves `to` as it was; never in place. On POSIX the copy is the
  // caller's, writable by no one else and never more readable than `from`; a link or
  // non-regular file at `to` is refused.
  // Taking the bytes rather than reading `from` again keeps the copy exactly what the
  // caller looked at, even when another program writes `from` meanwhile.
  virtual void WriteCopyOf(const std::string& from, std::string_view contents,
                           const std::string& to) = 0;

  // Removes the temporary copies that an interrupted replacement of `path` left beside it.
  virtual void RemoveTemporaryCopies(const std::string& path) = 0;
  // The same in `folder` for every file name that `of` accepts, whether or not that file
  // is there: a killed run may have left the copy of a file it had not yet made.
  virtual void RemoveTemporaryCopiesIn(const std::string& folder,
                                       const std::function<bool(std::string_view)>& of) = 0;

  // Clears read-only, hidden, system and archive, so that the file can be written.
  virtual void SetAttributesNormal(const std::string& path) = 0;

  // The names (without the folder) of the plain files in a folder, in no set order; none
  // when the folder cannot be read.
  [[nodiscard]] virtual std::vector<std::string> FileNames(const std::string& folder) const = 0;

  // Removes the file, read-only or not.
  virtual void RemoveFile(const std::string& path) = 0;
};

// The largest file a step reads or writes; a larger one is a FileError "too big".
inline constexpr std::uint64_t kLargestFileBytes = 1ULL << 30;

}  // namespace tsl

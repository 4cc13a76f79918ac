// The result files of one data set, written safely: each is created (exclusively) under a
// temporary name in its own folder and renamed into place only when the data set is complete
// and on disk, so that a run that stops early, is killed or loses power never leaves a
// truncated file under a result name nor destroys the complete file of an earlier run. A
// commit journal in the folder makes the renames of a data set all or nothing: a data set
// caught in its commit is finished or undone by the next run in the folder.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/error.h"

namespace lg {

// A result file that cannot be created or written.
class OutputError : public Error {
 public:
  using Error::Error;
};

class ResultFiles {
 public:
  ResultFiles() = default;
  ResultFiles(const ResultFiles&) = delete;
  ResultFiles& operator=(const ResultFiles&) = delete;
  // Removes every temporary file that has not been committed.
  ~ResultFiles();

  // Repairs what killed runs left in the folders of the final names, then creates the
  // temporary file of each final name (in the same folder). Throws OutputError naming the
  // file when one cannot be created (for example a missing station folder).
  void create(const std::vector<std::string>& final_names);

  std::size_t size() const { return files_.size(); }
  // Appends text to file n (0-based). Throws OutputError when the write fails.
  void write(std::size_t n, const std::string& text);
  // Makes every file durable, records the commit in a journal and renames each file to its
  // final name (see the README's commit protocol).
  void commit();
  // Commits the data sets in `sets` together, in the order given, with the flushes of all of
  // them at once (a few rounds for the whole group, where one data set after the other each
  // pays its own). The outcome is that of committing them one after the other and stopping at
  // the first that fails: `committed` tells how many were committed; when that is fewer than
  // all, the error of the next is thrown and its files and those of the later data sets are
  // left to their discard().
  static void commit_all(const std::vector<ResultFiles*>& sets, std::size_t& committed);
  // Closes and removes every temporary file.
  void discard();

  // Removes this process's temporary files of the given final names, for a process about to
  // end at once (another thread may still be writing them). A data set whose commit has
  // begun (a journal of this process stands in its folder) is left for the next run to
  // complete.
  static void abandon(const std::vector<std::string>& final_names);

  // The temporary name used for a final name.
  static std::string temporary_name(const std::string& final_name);

 private:
  class GroupCommit;
  struct File {
    std::string final_name;
    std::string temp_name;
    std::FILE* fp = nullptr;
  };
  std::vector<File> files_;
};

}  // namespace lg

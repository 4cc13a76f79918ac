// Writing the outputs of one input all or nothing: each file goes to a temporary name beside
// its final one, and only when every file is complete are they renamed into place.
#pragma once

#include <string>
#include <vector>

#include "common/error.h"

namespace lg::seis {

// A file that cannot be created, written or moved into place.
class WriteError : public Error {
 public:
  using Error::Error;
};

struct OutputFile {
  std::string path;
  std::string bytes;
};

// Writes every file or, on a failure, removes the temporary files written so far and throws
// WriteError naming the file. Existing files of the same names are replaced only on success.
void write_all_or_nothing(const std::vector<OutputFile>& files);

// The temporary name of a final name: ".NAME.partial-PID" in the same folder.
std::string partial_name(const std::string& path);

}  // namespace lg::seis

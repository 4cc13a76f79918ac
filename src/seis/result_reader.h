// Reading a result file of the main program back into memory, checking every line; anything
// that is not a complete, finite result file is an InputError naming the file and the line.
#pragma once

#include <string>

#include "seis/result_file.h"
#include "textio/line_source.h"

namespace lg::seis {

// Reads and checks the file at `path`.
ResultFile read_result_file(const std::string& path);

// Reads and checks a result file from a line source (the source's name is used in messages).
ResultFile read_result(LineSource& src);

}  // namespace lg::seis

#pragma once

#include <QString>
#include <optional>

namespace tess {

// The program's version, as the build names it (the project's version in CMake).
QString programVersion();

// The two lines every program's --help ends with.
inline constexpr const char* kHelpAndVersionUsage = "  --help     显示这段说明后退出\n"
                                                    "  --version  显示版本号后退出\n";

// Answers --help (the usage and kHelpAndVersionUsage) and --version (the
// program's name and version) among the arguments, on standard output, before
// anything else is made: no display, no bank. Returns the exit code (0) when
// it answered one, nothing when the program is to go on.
std::optional<int> answerHelpOrVersion(int argc, char** argv, const char* name, const char* usage);

} // namespace tess

// What the session log's tests share beside the fixture: the headers they use, short names, the platform.
#pragma once
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/log_fixture.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
constexpr bool kWindows = fs::path::preferred_separator == '\\';

// Names each case of a parameterized test by its row's name.
inline constexpr auto row_name = [](const auto& info) { return info.param.name; };

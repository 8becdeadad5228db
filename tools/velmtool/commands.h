// The subcommands of velmtool. Each takes the arguments after its name (their
// number already checked), prints its answer on standard output and returns
// the exit status; wrong arguments throw UsageError.
#pragma once

#include "arguments.h"

namespace velmtool {

int run_ini(const Arguments& args);
int run_ini_dump(const Arguments& args);
int run_check(const Arguments& args);
int run_next_day(const Arguments& args);
int run_date(const Arguments& args);
int run_field(const Arguments& args);
int run_fields(const Arguments& args);
int run_cfgpath(const Arguments& args);
int run_log(const Arguments& args);
int run_logs(const Arguments& args);  // logs_command.cpp

}  // namespace velmtool

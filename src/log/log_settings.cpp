// Levels, flags and the names that make up the session log file's name.
#include <cstdio>

#include "common/environment.h"
#include "common/text.h"
#include "log/log_state.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::log {

using common::copy_cut;

namespace {

int at_least_one(int level) { return level < 1 ? 1 : level; }

int lesser(int a, int b) { return a < b ? a : b; }

void reset_cust_name() {
    copy_cut(logState.custName, sizeof logState.custName, common::has_configuration() ? "VELM_" : "");
}

void reset_prod_name() {
    copy_cut(logState.prodName, sizeof logState.prodName,
             common::has_configuration() ? "VE Quillan-Mor Kest" : "");
}

// name + "_", with the name cut so that both fit the field.
void set_name_part(char (&field)[112], const char* name) {
    std::snprintf(field, sizeof field, "%.110s_", name);
}

}  // namespace

void set_level(int level) {
    level = at_least_one(level);
    logState.logLevel = level;
    logState.logLevelStdOut = level;
}

void set_level_stdout(int level) {
    level = at_least_one(level);
    logState.logLevelStdOut = level;
    logState.logLevel = lesser(logState.logLevel, level);
}

void set_level_syslog(int level) {
    level = at_least_one(level);
    logState.logLevelSyslog = level;
    logState.logLevel = lesser(logState.logLevel, level);
}

}  // namespace velm::log

using velm::log::logState;

extern "C" {

void VELM_SetLogLevel(int level) { velm::log::set_level(level); }
void VELM_SetLogLevelStdOut(int level) { velm::log::set_level_stdout(level); }
void VELM_SetLogLevelSyslog(int level) { velm::log::set_level_syslog(level); }
int VELM_GetLogLevel(void) { return logState.logLevel; }
int VELM_GetLogLevelStdOut(void) { return logState.logLevelStdOut; }
int VELM_GetLogLevelSyslog(void) { return logState.logLevelSyslog; }
void VELM_SetLogTimestamp(unsigned char flag) { logState.logTimestamp = flag; }
void VELM_SetPrintVerInfo(unsigned char flag) { logState.printVerInfo = flag; }
void VELM_SetPrintVerInfoStdOut(unsigned char flag) { logState.printVerInfoStdOut = flag; }

const char* VELM_GetLogFilePath(void) {
    return logState.openingDone ? logState.logFilePath : nullptr;
}

void VELM_SetApplName(const char* name) {
    if (name) velm::log::set_name_part(logState.applName, name);
    VELM_SetCustName(nullptr);
}

void VELM_SetCustName(const char* name) {
    if (name) {
        velm::log::set_name_part(logState.custName, name);
        return;
    }
    velm::log::reset_cust_name();
    velm::log::reset_prod_name();
}

void VELM_SetProdName(const char* name) {
    if (name) {
        std::snprintf(logState.prodName, sizeof logState.prodName, "%.111s", name);
        return;
    }
    velm::log::reset_prod_name();
}

}  // extern "C"

// Levels, flags and the names that make up the session log file's name.
#include <cstdio>
#include <mutex>

#include "common/environment.h"
#include "common/text.h"
#include "log/log_levels.h"
#include "log/log_state.h"
#include "log/log_writer.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::log {

using common::copy_cut;

namespace {

void reset_cust_name() {
    copy_cut(logState.custName.text, kNameSize, common::has_configuration() ? kDefaultCustName : "");
}

void reset_prod_name() {
    copy_cut(logState.prodName.text, kNameSize, common::has_configuration() ? kDefaultProdName : "");
}

// name + "_", with the name cut so that both fit the field.
void set_name_part(NameField& field, const char* name) {
    std::snprintf(field.text, kNameSize, "%.*s_", kPartNameWidth, name);
}

void set_prod_name(const char* name) { std::snprintf(logState.prodName.text, kNameSize, "%.*s", kProdNameWidth, name); }

}  // namespace

void set_level(int level) {
    level = at_least_one(level);
    logState.logLevel = level;
    logState.logLevelStdOut = level;
    refresh_least_other_level();
}

void set_level_stdout(int level) {
    level = at_least_one(level);
    logState.logLevelStdOut = level;
    logState.logLevel = lesser(logState.logLevel, level);
    refresh_least_other_level();
}

void set_level_syslog(int level) {
    level = at_least_one(level);
    logState.logLevelSyslog = level;
    logState.logLevel = lesser(logState.logLevel, level);
    refresh_least_other_level();
}

}  // namespace velm::log

using velm::log::logState;

// The setters take the writer's lock: a level rule reads one level to change
// another, and the names must not change while the file is being opened.
using velm::log::hold_writer_lock;

extern "C" {

void VELM_SetLogLevel(int level) {
    auto hold = hold_writer_lock();
    velm::log::set_level(level);
}
void VELM_SetLogLevelStdOut(int level) {
    auto hold = hold_writer_lock();
    velm::log::set_level_stdout(level);
}
void VELM_SetLogLevelSyslog(int level) {
    auto hold = hold_writer_lock();
    velm::log::set_level_syslog(level);
}
int VELM_GetLogLevel(void) { return logState.logLevel; }
int VELM_GetLogLevelStdOut(void) { return logState.logLevelStdOut; }
int VELM_GetLogLevelSyslog(void) { return logState.logLevelSyslog; }
void VELM_SetLogTimestamp(unsigned char flag) { logState.logTimestamp = flag; }
void VELM_SetPrintVerInfo(unsigned char flag) { logState.printVerInfo = flag; }
void VELM_SetPrintVerInfoStdOut(unsigned char flag) { logState.printVerInfoStdOut = flag; }

const char* VELM_GetLogFilePath(void) {
    return logState.openingDone.load(std::memory_order_acquire) ? logState.logFilePath : nullptr;
}

void VELM_SetApplName(const char* name) {
    {
        auto hold = hold_writer_lock();
        if (name) velm::log::set_name_part(logState.applName, name);
    }
    VELM_SetCustName(nullptr);
}

void VELM_SetCustName(const char* name) {
    auto hold = hold_writer_lock();
    if (name) {
        velm::log::set_name_part(logState.custName, name);
        return;
    }
    velm::log::reset_cust_name();
    velm::log::reset_prod_name();
}

void VELM_SetProdName(const char* name) {
    auto hold = hold_writer_lock();
    if (name) {
        velm::log::set_prod_name(name);
        return;
    }
    velm::log::reset_prod_name();
}

}  // extern "C"

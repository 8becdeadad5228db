// Every log test runs in a process of its own, from a clean environment and a scratch log directory.
#pragma once

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "velm_basetool.h"

struct LogTest : testing::Test {
    void SetUp() override {
        for (const char* name :
             {"VELM_LOG_LEVEL", "VELM_LOG_LEVEL_STDOUT", "VELM_LOG_LEVEL_SYSLOG", "VELM_LOG_TIMESTAMP", "VELM_VERSION",
              "VELM_VERSION_STDOUT", "VELM_CONFIG", "VELM_LOCAL", "TEMP", "TMP", "VELM_LIBUSER_EXITS_INI",
              "VELM_DISABLE_PROPFILE_CACHE", "VELM_CONFIG_RELOAD", "VELM_LOG_SYSLOG", "VELM_LOG_MAX_SIZE",
              "VELM_LOG_RETAIN_DAYS", "VELM_LOG_RETAIN_FILES"})
            velm_test::unset_env(name);
        velm_test::set_env("VE_TMP_DIR", dir.path().c_str());
    }

    std::string expected_log(const std::string& name_parts) const {
        return dir.file(name_parts + std::to_string(velm_test::current_pid()) + ".log");
    }

    velm_test::ScratchDir dir;
};

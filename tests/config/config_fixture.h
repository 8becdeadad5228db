// Configuration tests start without configuration variables and with every
// trace and debug line of the process in the session log.
#pragma once

#include <string>
#include <vector>

#include "log/log_fixture.h"

class ConfigTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        velm_test::unset_env("VELM_LIBUSER_EXITS_INI");
        velm_test::unset_env("VELM_DISABLE_PROPFILE_CACHE");
        VELM_SetLogLevel(1);
    }

    // The session log's lines so far, without timestamps.
    static std::vector<std::string> log_lines() {
        std::vector<std::string> lines = velm_test::session_lines();
        for (std::string& line : lines) line = velm_test::without_timestamp(line);
        return lines;
    }
};

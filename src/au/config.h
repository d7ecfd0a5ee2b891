#pragma once
// The automatic updater's schedule and notification choice, read before its
// package is reinstalled and written back after.

#include <cstdint>

#include "au/schedule.h"

namespace au {

struct ConfigImpl;

class Config {
public:
    // level 1 is the current policy layout; 0 the older updater's, which
    // keeps the check values in the policy key itself, unencrypted. No key is
    // opened yet.
    explicit Config(int32_t level);
    // Closes the keys that were opened.
    virtual ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // Reads Frequency, UpdateSchedule and UpdateMin. When that fails the
    // failure is logged, a new random schedule is written and returned;
    // *valid (when given) is true unless writing it failed too.
    void getSchedule(Schedule& out, bool* valid = nullptr);
    // Writes Frequency, UpdateSchedule, UpdateMin in that order; throws what
    // the registry or the protection throws.
    void setSchedule(const Schedule& schedule);
    // 0 notify before download, 1 before install. Missing or inconsistent
    // values are logged, reset to 0 (never throws for them) and answer 0.
    int32_t getNotifyType();
    // 0 or 1 writes NotifyDownload, then NotifyInstall; any other type throws
    // std::runtime_error "unknown notifyType" before writing.
    void setNotifyType(int32_t type);

private:
    ConfigImpl* impl_;
    int32_t level_;
};

}  // namespace au

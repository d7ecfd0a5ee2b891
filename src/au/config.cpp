#include "au/config.h"

#include <stdexcept>

#include "au/config_internal.h"
#include "au/reg_data.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"

namespace au {

Config::Config(int32_t level) : impl_(new ConfigImpl(level)), level_(level) {}

Config::~Config() { delete impl_; }

void Config::getSchedule(Schedule& out, bool* valid) {
    if (valid)
        *valid = true;
    try {
        out.frequency = RegData::getValue(*impl_, RegData::kFrequency);
        out.hour = RegData::getValue(*impl_, RegData::kUpdateSchedule);
        out.minute = RegData::getValue(*impl_, RegData::kUpdateMin);
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("au::Config::getSchedule", "getSchedule failed: %s, rescheduling", e.what());
        out = Schedule();
        try {
            setSchedule(out);
        } catch (const std::exception&) {
            if (valid)
                *valid = false;
        }
    }
}

void Config::setSchedule(const Schedule& schedule) {
    RegData::setValue(*impl_, RegData::kFrequency, schedule.frequency);
    RegData::setValue(*impl_, RegData::kUpdateSchedule, schedule.hour);
    RegData::setValue(*impl_, RegData::kUpdateMin, schedule.minute);
}

int32_t Config::getNotifyType() {
    try {
        const uint32_t download = RegData::getValue(*impl_, RegData::kNotifyDownload);
        const uint32_t install = RegData::getValue(*impl_, RegData::kNotifyInstall);
        if ((download != 0) == (install != 0))
            throw std::runtime_error("inconsistent data");
        return install != 0 ? 1 : 0;
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("au::Config::getNotifyType", "getNotifyType failed: %s, reset to default", e.what());
        try {
            setNotifyType(0);
        } catch (const std::exception&) {
            // The default answer stands even when it cannot be stored.
        }
        return 0;
    }
}

void Config::setNotifyType(int32_t type) {
    switch (type) {
    case 0:
        RegData::setValue(*impl_, RegData::kNotifyDownload, 1);
        RegData::setValue(*impl_, RegData::kNotifyInstall, 0);
        break;
    case 1:
        RegData::setValue(*impl_, RegData::kNotifyDownload, 0);
        RegData::setValue(*impl_, RegData::kNotifyInstall, 1);
        break;
    default:
        TDS_LOG_ERROR("au::Config::setNotifyType", "setNotifyType: unknown value: %d", type);
        throw std::runtime_error("unknown notifyType");
    }
}

}  // namespace au

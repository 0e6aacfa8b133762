#include "launcher/config/settings_mutex.h"

std::recursive_mutex& SettingsMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

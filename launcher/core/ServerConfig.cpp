#include "launcher/core/ServerConfig.h"

LauncherConfig& TheLauncherConfig() {
    static LauncherConfig config;
    return config;
}

const std::string& LauncherConfig::Link(size_t index) const {
    static const std::string none;
    return index < Links.size() ? Links[index] : none;
}

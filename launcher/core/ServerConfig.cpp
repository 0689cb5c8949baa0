#include "launcher/core/ServerConfig.h"

LauncherConfig& TheLauncherConfig() {
    static LauncherConfig config;
    return config;
}

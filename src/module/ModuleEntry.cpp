// The module's one export: the host player finds it by name, reads the
// record it returns and drives the plug-in through it.
#include "host/PluginInstance.h"
#include "platform/PluginRecord.h"

extern "C" __attribute__((visibility("default"))) platform::PluginRecord* winampGetGeneralPurposePlugin()
{
    return host::PluginInstance::instance().pluginRecord();
}

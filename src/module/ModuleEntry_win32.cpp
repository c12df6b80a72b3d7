// The module's one export on Windows (named in gen_Tunelet.def): the host
// player finds it by name, reads the record it returns and drives the
// plug-in through it.
#include "host/PluginInstance.h"
#include "platform/PluginRecord.h"

#include <windows.h>

extern "C" platform::PluginRecord* winampGetGeneralPurposePlugin()
{
    // The module stays mapped until the process ends, even when the host
    // frees it: the plug-in's threads, detached, still run a few
    // instructions of its code after they have signalled their end.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&winampGetGeneralPurposePlugin), &self);
    return host::PluginInstance::instance().pluginRecord();
}

// Message boxes on both systems: through the installed hook, else the
// system's own box (SystemMessageBox: standard error on Linux).
#include "platform/MessageBox.h"

#include "platform/SystemMessageBox.h"

#include <mutex>

namespace platform {

namespace {

struct HookSlot {
    std::mutex lock;
    MessageBoxHook hook;
};

HookSlot& slot()
{
    static HookSlot instance;
    return instance;
}

} // namespace

MessageBoxHook setMessageBoxHook(MessageBoxHook hook)
{
    HookSlot& s = slot();
    std::lock_guard guard(s.lock);
    std::swap(s.hook, hook);
    return hook;
}

int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    MessageBoxHook hook;
    {
        // A copy, so the box is shown without the lock (it may run a loop).
        HookSlot& s = slot();
        std::lock_guard guard(s.lock);
        hook = s.hook;
    }
    return hook ? hook(owner, text, caption, type) : systemMessageBox(owner, text, caption, type);
}

int defaultMessageBoxAnswer(UINT type)
{
    static constexpr int buttons[][3] = {
        {IDOK, IDOK, IDOK},               // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},       // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},     // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},          // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},              // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},    // MB_RETRYCANCEL
    };
    UINT kind = type & 0xF;
    if (kind >= std::size(buttons))
        kind = 0;
    UINT which = (type >> 8) & 0xF;  // MB_DEFBUTTON2 -> 1, MB_DEFBUTTON3 -> 2
    if (which > 2)
        which = 0;
    return buttons[kind][which];
}

} // namespace platform

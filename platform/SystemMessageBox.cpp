#include "platform/SystemMessageBox.h"

#include "platform/MessageBox.h"

#include <cstdio>

namespace platform {

int systemMessageBox(HWND, const std::string& text, const std::string& caption, UINT type)
{
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return defaultMessageBoxAnswer(type);
}

} // namespace platform

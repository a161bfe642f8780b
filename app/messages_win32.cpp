#include "app/messages_win32.h"

namespace tactra {

namespace {
const RegisteredMessages g_messages = {
    RegisterWindowMessageA("WM_TOUCH"), RegisterWindowMessageA("WM_APPLY"),
    RegisterWindowMessageA("WM_RESET0"), RegisterWindowMessageA("WM_RESET")};
}  // namespace

const RegisteredMessages& Messages() { return g_messages; }

}  // namespace tactra

#include "app/duvoload/console/control_event.h"

LONG InterruptionsAfter(DWORD type, LONG count) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return count + 1;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return 2;
        default:
            return -1;
    }
}

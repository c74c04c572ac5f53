#include "app/AppHooks.h"

TAppHooks& AppHooks() {
    static TAppHooks hooks;
    return hooks;
}

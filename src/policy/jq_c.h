#pragma once

// libjq's headers, whose Debian 12 version declares its functions without C linkage.
extern "C" {
#include <jq.h>
#include <jv.h>
}

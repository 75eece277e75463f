// The registry key below HKCU or HKLM under which each browser keeps its
// native-messaging hosts, one subkey per host name.
#pragma once

#include "browsers.h"

namespace registration {

// L"Software\\Google\\Chrome\\NativeMessagingHosts" and the like.
const wchar_t* VendorKey(Browser browser);

}  // namespace registration

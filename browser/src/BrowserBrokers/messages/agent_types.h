// The two types that the message classes share with the agent SDK: the
// reply callback that payload handlers pass on, and the map of collected
// trigger values and response members. Both sides include this header;
// it includes nothing of the host.
#pragma once

#include <functional>
#include <map>
#include <string>

// One call sends one message to the extension. The first argument carries
// nothing the host uses; the second is the message text.
using ReplyCallback =
    std::function<void(const std::wstring& first, const std::wstring& second)>;

// Collected trigger values and response members, ascending by key.
using ValuesMap = std::map<std::wstring, std::wstring>;
